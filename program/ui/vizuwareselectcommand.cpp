#include "program/ui/vizuwareselectcommand.h"

#include "app/pngwrap.h"
#include "program/graphicprogram.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace quenor {
namespace {

constexpr int kClientWidth = 415;
constexpr int kButtonsHeight = 195;
constexpr int kAdvancedHeight = 25;
constexpr int kFirstGlyph = 20000;
constexpr int kFirstSmallGlyph = 20100;
constexpr int kGlyphs = 16;

QImage ToImage(const PngBitmap& bitmap)
{
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const RgbColor c = bitmap.PixelColor(x, y);
            out[x] = qRgb(c.r, c.g, c.b);
        }
    }
    return image;
}

int SignedSlot(std::uint8_t slot)
{
    return static_cast<std::int8_t>(slot);
}

}  // namespace

TVizuWareSelectCommand::TVizuWareSelectCommand(QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setObjectName("VizuWareSelectCommand");
    setWindowTitle("Select command");

    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("CancelButton");
    cancelButton_->setGeometry(471, 8, 75, 25);
    cancelButton_->setFocusPolicy(Qt::NoFocus);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    advancedButton_ = new QPushButton("&Advanced >>", this);
    advancedButton_->setObjectName("AdvancedButton");
    advancedButton_->resize(100, kAdvancedHeight);
    advancedButton_->move(kClientWidth - advancedButton_->width() - 7, kButtonsHeight);
    advancedButton_->setAutoDefault(false);
    connect(advancedButton_, &QPushButton::clicked, this, &TVizuWareSelectCommand::AdvancedButtonClick);
    setFixedSize(kClientWidth, kButtonsHeight + kAdvancedHeight + 7);

    maxSlot_ = 0;
    for (const SCommandInfo& row : CommandInfoTable)
        maxSlot_ = std::max(maxSlot_, SignedSlot(row.paletteSlot));

    LoadGlyphs();

    for (int slot = 0; slot <= maxSlot_; ++slot) {
        int id = -1;
        for (int i = 0; i < kRows; ++i)
            if (SignedSlot(CommandInfoTable[i].paletteSlot) == slot) {
                id = i;
                break;
            }
        if (id < 0)
            continue;
        const SCommandInfo& row = CommandInfoTable[id];
        const bool shown = slot < 8;
        const int top = 47 * (slot / 2) + 7;
        const bool even = slot % 2 == 0;

        auto* button = new QToolButton(this);
        button->setObjectName(QString("Command%1").arg(id));
        button->setEnabled(row.enabled != 0);
        button->setGeometry(even ? 164 : 211, top, 40, 40);
        button->setIconSize(QSize(32, 32));
        if (!glyphs_[id].isNull()) {
            QIcon icon;
            icon.addPixmap(glyphs_[id].copy(0, 0, 32, 32), QIcon::Normal);
            icon.addPixmap(glyphs_[id].copy(32, 0, 32, 32), QIcon::Disabled);
            button->setIcon(icon);
        }
        button->setToolTip(row.text);
        button->setVisible(shown);
        connect(button, &QToolButton::clicked, this, [this, id] { Select(id); });
        buttons_[id] = button;

        auto* label = new QLabel(row.text, this);
        label->setWordWrap(true);
        label->setEnabled(row.enabled != 0);
        label->setAlignment(Qt::AlignVCenter | (even ? Qt::AlignRight : Qt::AlignLeft));
        label->setGeometry(even ? 7 : 258, top, 150, 40);
        label->setVisible(shown);
        labels_[id] = label;
    }
}

void TVizuWareSelectCommand::LoadGlyphs()
{
    const RgbColor face = [this] {
        const QColor c = palette().color(QPalette::Button).toRgb();
        return RgbColor{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                        static_cast<std::uint8_t>(c.blue())};
    }();
    std::vector<PngBitmap> normal;
    std::vector<PngBitmap> disabled;
    std::vector<PngBitmap> small;
    try {
        normal = LoadPngStrip(32, 32, kFirstGlyph, kGlyphs, face, 0, 0, false);
        disabled = LoadPngStrip(32, 32, kFirstGlyph, kGlyphs, face, 0, 0, true);
        small = LoadPngStrip(32, 20, kFirstSmallGlyph, kGlyphs, face, 0, 0, false);
    } catch (const PngResourceError&) {
        return;  // the buttons and rows go without pictures
    }
    for (int k = 0; k < kGlyphs; ++k) {
        QImage both(64, 32, QImage::Format_RGB32);
        QPainter painter(&both);
        painter.drawImage(0, 0, ToImage(normal[static_cast<std::size_t>(k)]));
        painter.drawImage(32, 0, ToImage(disabled[static_cast<std::size_t>(k)]));
        painter.end();
        glyphs_[k + 1] = QPixmap::fromImage(both);
        smallGlyphs_[k + 1] = QPixmap::fromImage(ToImage(small[static_cast<std::size_t>(k)]));
        smallIcons_[k + 1] = QIcon(smallGlyphs_[k + 1]);
    }
}

int TVizuWareSelectCommand::Choose()
{
    exec();
    return Result();
}

QPixmap TVizuWareSelectCommand::SmallGlyph(int id) const
{
    return InTable(id) ? smallGlyphs_[id] : QPixmap();
}

QIcon TVizuWareSelectCommand::SmallIcon(int id) const
{
    return InTable(id) ? smallIcons_[id] : QIcon();
}

QPixmap TVizuWareSelectCommand::LargeGlyph(int id) const
{
    return InTable(id) ? glyphs_[id] : QPixmap();
}

void TVizuWareSelectCommand::Select(int id)
{
    selected_ = id;
    accept();
}

void TVizuWareSelectCommand::showEvent(QShowEvent* event)
{
    selected_ = -1;
    QDialog::showEvent(event);
}

void TVizuWareSelectCommand::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.compare("j", Qt::CaseInsensitive) == 0) {
        Select(kCmdJump);
        return;
    }
    if (text.compare("m", Qt::CaseInsensitive) == 0) {
        Select(kCmdMove);
        return;
    }
    QDialog::keyPressEvent(event);  // Escape: nothing chosen
}

void TVizuWareSelectCommand::AdvancedButtonClick()
{
    advanced_ = !advanced_;
    int height = 0;
    if (advanced_) {
        height = 47 * ((maxSlot_ + 2) / 2) + advancedButton_->height() + 14;
        advancedButton_->setText("&Basic <<");
    } else {
        height = advancedButton_->height() + 202;
        advancedButton_->setText("&Advanced >>");
    }
    setFixedSize(kClientWidth, height);
    for (int id = 0; id < kRows; ++id) {
        const int slot = SignedSlot(CommandInfoTable[id].paletteSlot);
        if (slot >= 8 && buttons_[id]) {
            buttons_[id]->setVisible(advanced_);
            labels_[id]->setVisible(advanced_);
        }
    }
    advancedButton_->move(advancedButton_->x(), height - 7 - advancedButton_->height());
}

}  // namespace quenor
