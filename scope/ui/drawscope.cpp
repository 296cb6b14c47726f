#include "scope/ui/drawscope.h"

#include "platform/cp1252.h"
#include "scope/scopeview.h"
#include "scope/ui/scopecolors.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <vector>

namespace quenor {

namespace {

constexpr int kInfoWidth = 170;
constexpr int kInfoLineHeight = 15;

// Pixels of a 32-bit image, written directly (the grid is thousands of dots).
class Pixels {
public:
    explicit Pixels(QImage& image)
        : bits_(image.bits()), stride_(image.bytesPerLine()), w_(image.width()), h_(image.height())
    {
    }
    void Set(int x, int y, QRgb colour)
    {
        if (x >= 0 && y >= 0 && x < w_ && y < h_)
            reinterpret_cast<QRgb*>(bits_ + static_cast<std::ptrdiff_t>(y) * stride_)[x] = colour;
    }
    int Width() const { return w_; }
    int Height() const { return h_; }

private:
    uchar* bits_;
    qsizetype stride_;
    int w_;
    int h_;
};

void DrawGrid(QImage& image, int y0)
{
    const QRgb red = ColorFromRef(kGridColour).rgb();
    Pixels px(image);
    for (int y = y0 - kPixelsPerDivision; y > 0; y -= kPixelsPerDivision) {
        for (int x = 0; x < px.Width(); x += kGridDotStep) {
            px.Set(x, y, red);
            px.Set(x, 2 * y0 - y, red);
        }
    }
    for (int x = 0; x < px.Width(); x += kPixelsPerDivision)
        for (int y = y0 % kGridDotStep; y < px.Height(); y += kGridDotStep)
            px.Set(x, y, red);
}

void DrawTraces(QPainter& p, const std::vector<ChannelTrace>& traces)
{
    QPolygon poly;
    std::vector<QLine> strokes;
    for (const ChannelTrace& t : traces) {
        p.setPen(QPen(ColorFromRef(t.colour), 0, Qt::SolidLine));
        strokes.clear();
        for (const PlotStroke& s : t.strokes)
            strokes.emplace_back(s.x, s.y1, s.x, s.y2);
        if (!strokes.empty())
            p.drawLines(strokes.data(), static_cast<int>(strokes.size()));
        poly.resize(static_cast<int>(t.points.size()));
        for (std::size_t i = 0; i < t.points.size(); ++i)
            poly.setPoint(static_cast<int>(i), t.points[i].x, t.points[i].y);
        if (poly.size() == 1)
            p.drawPoint(poly.point(0));
        else if (poly.size() > 1)
            p.drawPolyline(poly);
    }
}

void DrawInfoLine(QPainter& p, int x, int y, const SampleInfoLine& line)
{
    const QRect row(x, y, 110, kInfoLineHeight);
    p.drawText(row, Qt::AlignLeft | Qt::AlignTop, FromCp1252(line.name));
    p.drawText(row, Qt::AlignRight | Qt::AlignTop, FromCp1252(line.value));
    p.drawText(QRect(x + 113, y, 50, kInfoLineHeight), Qt::AlignLeft | Qt::AlignTop, FromCp1252(line.unit));
}

void DrawInfoBox(QPainter& p, const TSampleSet& set, int width, int family)
{
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRect(width - kInfoWidth, 10, kInfoWidth - 10, 70), 5, 5);
    p.setBrush(Qt::NoBrush);
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    int y = 15;
    for (const SampleInfoLine& line : set.InfoLines(family)) {
        DrawInfoLine(p, width - kInfoWidth + 5, y, line);
        y += kInfoLineHeight;
    }
}

}  // namespace

ScopeDrawResult DrawScope(QImage& image, QSize size, const ScopeDrawInput& in)
{
    const int w = std::max(size.width(), 1);
    const int h = std::max(size.height(), 1);
    if (image.size() != QSize(w, h) || image.format() != QImage::Format_RGB32)
        image = QImage(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);

    ScopeDrawResult out;
    TSampleSet* set = in.current;
    if (!set)
        return out;

    const int y0 = ZeroRow(h, set->ZeroPoint);
    DrawGrid(image, y0);  // straight into the pixels, before a painter holds the image
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ColorFromRef(kGridColour), 0, Qt::DotLine));
    p.drawLine(0, y0, w, y0);

    set->SetZoomType(set->ZoomXType, w);
    out.scrollMaximum = ScrollMaximum(*set, w);
    out.scrollPosition = std::clamp(in.scrollPosition, 0, out.scrollMaximum);
    set->firstSample = FirstSampleAt(*set, out.scrollPosition);

    const PlotArea plot{0, 0, w, h};
    TSampleSet* ref = in.reference;
    if (ref && ref != set) {
        if (!SameSampleTime(*ref, *set)) {
            out.referenceDropped = true;
        } else {
            const std::uint8_t ownZoom = ref->ZoomXType;
            const std::int32_t ownFirst = ref->firstSample;
            ref->SetZoomType(set->ZoomXType, w);
            ref->firstSample = set->firstSample;
            DrawTraces(p, ref->LayoutChannels(plot, y0, kReferenceColour));
            ref->SetZoomType(ownZoom, w);
            ref->firstSample = ownFirst;
        }
    }
    DrawTraces(p, set->LayoutChannels(plot, y0, kOwnColours));
    if (in.infoBox)
        DrawInfoBox(p, *set, w, in.family);
    return out;
}

}  // namespace quenor
