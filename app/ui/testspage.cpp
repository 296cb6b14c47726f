// The tests page.

#include "app/ui/testspage.h"

#include "app/testthread.h"
#include "params/ui/paramwidgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <numbers>

namespace quenor {

namespace {

constexpr int kDelayMin = 100;
constexpr int kDelayMax = 10000;
constexpr int kDelayStep = 100;

// The small panel in the tab's corner; a double click reveals the scope tab.
class ViewRecordPanel : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        event->accept();
        if (onDoubleClick)
            onDoubleClick();
    }
};

// Angles on the drawing: 0 right, counter-clockwise, in degrees.
void DrawArc(QPainter& p, const ZeroCircleGeometry& c, double fromDeg, double spanDeg, const QColor& color)
{
    QPen pen(color, 6);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    const QRectF box(c.centreX - c.radius, c.centreY - c.radius, 2 * c.radius, 2 * c.radius);
    p.drawArc(box, static_cast<int>(fromDeg * 16), static_cast<int>(spanDeg * 16));
}

void DrawIndexMark(QPainter& p, const ZeroCircleGeometry& c, double deg)
{
    const double a = deg * std::numbers::pi / 180;
    const QPointF dir(std::cos(a), -std::sin(a));
    p.setPen(QPen(QColor(0, 0, 200), 3));
    p.drawLine(QPointF(c.centreX, c.centreY) + dir * (c.radius - 8), QPointF(c.centreX, c.centreY) + dir * (c.radius + 8));
}

// The circles: the green range lies opposite the index marks, the sensor's marker
// should come to rest in it.
QPixmap CirclePicture(const ZeroCircleGeometry& c, bool halfRevolution)
{
    QPixmap pm(static_cast<int>(2 * c.centreX + 1), static_cast<int>(2 * c.centreY + 1));
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawArc(p, c, 0, 360, QColor(220, 40, 40));
    DrawArc(p, c, 45, 90, QColor(40, 180, 40));
    if (halfRevolution) {
        DrawArc(p, c, 225, 90, QColor(40, 180, 40));
        DrawIndexMark(p, c, 0);
        DrawIndexMark(p, c, 180);
    } else {
        DrawIndexMark(p, c, 270);
    }
    return pm;
}

QPixmap MarkerPicture()
{
    QPixmap pm(7, 6);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0));
    p.drawEllipse(QRectF(0, 0, 7, 6));
    return pm;
}

QPixmap Swatch(const QColor& color)
{
    QPixmap pm(14, 8);
    pm.fill(color);
    return pm;
}

QLabel* Text(QWidget* parent, const QString& text, int x, int y, int w = -1, int h = 16)
{
    auto* l = new QLabel(text, parent);
    if (w < 0)
        w = l->sizeHint().width();
    l->setGeometry(x, y, w, h);
    return l;
}

// The legend under a circle.
void Legend(QWidget* parent, int x, int y, const QString& indexText)
{
    auto row = [&](const QPixmap& pm, const QString& text, int dy) {
        auto* icon = new QLabel(parent);
        icon->setPixmap(pm);
        icon->setGeometry(x, y + dy + 4, pm.width(), pm.height());
        Text(parent, text, x + 18, y + dy, 200);
    };
    row(Swatch(QColor(40, 180, 40)), QStringLiteral(": Acceptable range"), 0);
    row(Swatch(QColor(220, 40, 40)), QStringLiteral(": unacceptable range"), 18);
    row(MarkerPicture(), QStringLiteral(": Sensor/stop position"), 36);
    row(Swatch(QColor(0, 0, 200)), indexText, 54);
}

}  // namespace

TTestsPage::TTestsPage(TestsPageHost& host, TTestThread& thread, QWidget* tsTests)
    : QWidget(tsTests), host_(host), thread_(thread)
{
    setObjectName(QStringLiteral("paTests"));
    setGeometry(8, 136, 640, 340);

    auto* corner = new ViewRecordPanel(tsTests);
    corner->setObjectName(QStringLiteral("paViewRecord"));
    corner->setGeometry(0, 0, 20, 10);
    corner->onDoubleClick = [this] { host_.ShowScopeTab(); };
    corner->raise();
    paViewRecord = corner;

    BuildControls();
    BuildZeroSearch();

    // The cycle pauses as the edits show.
    thread_.SetDelay1(position_[0]);
    thread_.SetDelay2(position_[1]);
    thread_.SetWaitInPosition(cbWaitForInPosition->isChecked());
}

void TTestsPage::BuildControls()
{
    paTestControls = new QWidget(this);
    paTestControls->setObjectName(QStringLiteral("paTestControls"));
    paTestControls->setGeometry(0, 0, 250, 180);

    cbWaitForInPosition = new QCheckBox(QStringLiteral("Wait for 'In Position'"), paTestControls);
    cbWaitForInPosition->setObjectName(QStringLiteral("cbWaitForInPosition"));
    cbWaitForInPosition->setGeometry(8, 8, 200, 20);
    cbWaitForInPosition->setChecked(true);
    connect(cbWaitForInPosition, &QCheckBox::toggled, this, [this](bool on) { thread_.SetWaitInPosition(on); });

    QLineEdit** edits[2] = {&edDelay1, &edDelay2};
    SpinButtons** ups[2] = {&udDelay1, &udDelay2};
    for (int i = 0; i < 2; ++i) {
        const int y = 38 + 30 * i;
        Text(paTestControls, i == 0 ? QStringLiteral("Delay 1") : QStringLiteral("Delay 2"), 8, y + 2, 50);
        auto* ed = new QLineEdit(QStringLiteral("100"), paTestControls);
        ed->setObjectName(i == 0 ? QStringLiteral("edDelay1") : QStringLiteral("edDelay2"));
        ed->setGeometry(60, y, 60, 21);
        connect(ed, &QLineEdit::textChanged, this, [this, i] { DelayEdited(i); });
        auto* ud = new SpinButtons(paTestControls);
        ud->setObjectName(i == 0 ? QStringLiteral("udDelay1") : QStringLiteral("udDelay2"));
        ud->move(121, y);
        ud->onStep = [this, i](bool up) { DelayStepped(i, up); };
        Text(paTestControls, QStringLiteral("ms"), 140, y + 2, 30);
        *edits[i] = ed;
        *ups[i] = ud;
    }

    btnStartStop = new QPushButton(QStringLiteral("Start"), paTestControls);
    btnStartStop->setObjectName(QStringLiteral("btnStartStop"));
    btnStartStop->setEnabled(false);  // until the motor reports position mode
    btnStartStop->setGeometry(8, 104, 120, 25);
    connect(btnStartStop, &QPushButton::clicked, this, [this] {
        if (running_)
            StopTest();
        else
            StartTest();
    });

    btnSetPositionMode = new QPushButton(QStringLiteral("Set Position mode"), paTestControls);
    btnSetPositionMode->setObjectName(QStringLiteral("btnSetPositionMode"));
    btnSetPositionMode->setGeometry(8, 138, 120, 25);
    connect(btnSetPositionMode, &QPushButton::clicked, this, [this] {
        // Actual mode and start-up mode become position mode.
        const int address = host_.MotorAddress();
        host_.RequestWrite(address, 2, 2, 2);
        host_.RequestWrite(address, 37, 2, 2);
    });
}

void TTestsPage::BuildZeroSearch()
{
    constexpr int x0 = 260;
    auto* title = Text(this, QStringLiteral("Zero Search"), x0, 0, 200);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    btnStartZero = new QPushButton(QStringLiteral("Start Zero Search"), this);
    btnStartZero->setObjectName(QStringLiteral("btnStartZero"));
    btnStartZero->setGeometry(x0, 20, 130, 25);
    connect(btnStartZero, &QPushButton::clicked, this, [this] { StartZeroSearch(); });

    Text(this, QStringLiteral("Sensor/stop position vs. Index position"), x0, 52, 320);

    // The small circle (half a revolution) and its texts.
    constexpr int cy = 72;
    imZeroCircle = new QLabel(this);
    imZeroCircle->setObjectName(QStringLiteral("imZeroCircle"));
    const QPixmap small = CirclePicture(kSmallZeroCircle, true);
    imZeroCircle->setPixmap(small);
    imZeroCircle->setGeometry(x0, cy, small.width(), small.height());
    Text(this, QStringLiteral("The circle illustrates 1/2 motor rev."), x0 + 155, cy, 220);
    Legend(this, x0 + 155, cy + 22, QStringLiteral(": Index positions (2 per rev.)"));
    auto* advice = Text(this,
                        QStringLiteral("Adjust the external zero search sensor or mechanical zero point until the "
                                       "circle is in the green range"),
                        x0, cy + 146, 330, 34);
    advice->setWordWrap(true);

    imCircle = new QLabel(this);
    imCircle->setObjectName(QStringLiteral("imCircle"));
    imCircle->setPixmap(MarkerPicture());
    imCircle->resize(7, 6);
    imCircle->hide();

    // The large circle (a whole revolution) covers the small one in families 1 and 2.
    paBigVekZero = new QWidget(this);
    paBigVekZero->setObjectName(QStringLiteral("paBigVekZero"));
    paBigVekZero->setAutoFillBackground(true);
    paBigVekZero->setGeometry(x0, cy, 375, 142);
    imZeroCircleBig = new QLabel(paBigVekZero);
    imZeroCircleBig->setObjectName(QStringLiteral("imZeroCircleBig"));
    const QPixmap large = CirclePicture(kLargeZeroCircle, false);
    imZeroCircleBig->setPixmap(large);
    imZeroCircleBig->setGeometry(20, 20, large.width(), large.height());
    Text(paBigVekZero, QStringLiteral("The circle illustrates a motor rev."), 155, 0, 220);
    Legend(paBigVekZero, 155, 22, QStringLiteral(": Index position (1 per rev.)"));
    imCircle2 = new QLabel(paBigVekZero);
    imCircle2->setObjectName(QStringLiteral("imCircle2"));
    imCircle2->setPixmap(MarkerPicture());
    imCircle2->resize(7, 6);
    imCircle2->hide();
    paBigVekZero->hide();
}

void TTestsPage::StartTest()
{
    if (running_ || !btnStartStop->isEnabled() || !host_.StartTests())
        return;
    btnStartStop->setText(QStringLiteral("Stop"));
    running_ = true;
}

void TTestsPage::StopTest()
{
    if (!running_)
        return;
    btnStartStop->setText(QStringLiteral("Start"));
    thread_.Stop();
    running_ = false;
}

void TTestsPage::SetStartEnabled(bool on)
{
    if (!on)
        StopTest();
    btnStartStop->setEnabled(on);
}

void TTestsPage::SetGeneration(int generation)
{
    generation_ = generation;
    paTestControls->setVisible(generation != 2);
    paBigVekZero->setVisible(generation == 1 || generation == 2);
    if (!paBigVekZero->isHidden())
        paBigVekZero->raise();
}

void TTestsPage::ShowZeroPosition(std::int32_t value)
{
    const ZeroMarkerPlace place = ZeroMarkerFor(generation_, value);
    QLabel* circle = place.largeCircle ? imZeroCircleBig : imZeroCircle;
    QLabel* marker = place.largeCircle ? imCircle2 : imCircle;
    marker->move(circle->x() + place.left, circle->y() + place.top);
    marker->show();
    marker->raise();
    // The large circle's panel covers the small circle and its marker.
    if (!paBigVekZero->isHidden())
        paBigVekZero->raise();
}

void TTestsPage::StartZeroSearch()
{
    // The marker shows the last search until a new one reports.
    imCircle->hide();
    imCircle2->hide();
    host_.RequestWrite(host_.MotorAddress(), 2, ZeroSearchModeFor(host_.ZeroSearchModeValue()), 2);
}

void TTestsPage::DelayEdited(int which)
{
    const QLineEdit* ed = which == 0 ? edDelay1 : edDelay2;
    const std::optional<int> v = ParseDelayText(ed->text().toStdString());
    if (!v)
        return;  // not a whole non-negative number: the delay keeps its value
    if (which == 0)
        thread_.SetDelay1(*v);
    else
        thread_.SetDelay2(*v);
}

void TTestsPage::DelayStepped(int which, bool up)
{
    QLineEdit* ed = which == 0 ? edDelay1 : edDelay2;
    int& pos = position_[which];
    // The up-down starts from the number in its edit, as far as it is one.
    if (const std::optional<int> typed = ParseDelayText(ed->text().toStdString()))
        pos = std::clamp(*typed, kDelayMin, kDelayMax);
    pos = std::clamp(pos + (up ? kDelayStep : -kDelayStep), kDelayMin, kDelayMax);
    if (which == 0)
        thread_.SetDelay1(pos);
    else
        thread_.SetDelay2(pos);
    ed->setText(QString::number(pos));
}

}  // namespace quenor
