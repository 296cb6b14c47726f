#include "program/ui/vizuwareform.h"

#include "platform/cp1252.h"
#include "program/graphicprogram.h"
#include "program/rowtexts.h"
#include "program/ui/hinttiming.h"
#include "program/ui/vizuwareselectcommand.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

namespace quenor {
namespace {

// The gutter: shows the image the form draws into.
class GutterArea : public QWidget {
public:
    GutterArea(const QImage& image, QWidget* parent) : QWidget(parent), image_(image)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
    }

private:
    const QImage& image_;
};

QColor ToQColor(SGutterColor c)
{
    return QColor(c.r, c.g, c.b);
}

// The cursor while a jump target is picked: an arrow with a bent jump line
// and its arrowhead beside it. The hot spot is the arrow's tip.
QCursor MakeJumpCursor()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    QPolygon arrow;
    arrow << QPoint(0, 0) << QPoint(0, 15) << QPoint(4, 11) << QPoint(7, 18) << QPoint(9, 17) << QPoint(6, 10)
          << QPoint(11, 10);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::black);
    p.drawPolygon(arrow);
    QPen pen(QColor(0, 0, 200), 2);
    p.setPen(pen);
    p.drawLine(28, 14, 18, 14);
    p.drawLine(18, 14, 18, 26);
    p.drawLine(18, 26, 25, 26);
    p.setBrush(QColor(0, 0, 200));
    p.drawPolygon(QPolygon({QPoint(29, 26), QPoint(25, 22), QPoint(25, 30)}));
    p.end();
    return QCursor(QPixmap::fromImage(image), 0, 0);
}

// A small yellow arrow pointing at the row being run.
QPixmap MakeDebugPointer()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(255, 230, 0));
    p.drawPolygon(QPolygonF({QPointF(1, 5), QPointF(8, 5), QPointF(8, 1), QPointF(15, 8), QPointF(8, 15),
                             QPointF(8, 11), QPointF(1, 11)}));
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace

TVizuWare::TVizuWare(CVizuWareDocument& document, VizuCommandDialogs& dialogs, VizuCommandPalette* palette,
                     QWidget* parent)
    : QWidget(parent), document_(document), selectCommand_(std::make_unique<TVizuWareSelectCommand>(this))
{
    setObjectName("VizuWare");
    setWindowTitle("VizuWare");
    // Hints show soon and stay long enough to read a row's whole text.
    SetHintPauses(32767, 200);
    editor_ = std::make_unique<CVizuEditor>(document_, dialogs, palette ? *palette : *selectCommand_,
                                            static_cast<VizuEditorView&>(*this));

    topPanel_ = new QWidget(this);
    topPanel_->setObjectName("TopPanel");
    clientPanel_ = new QWidget(this);
    clientPanel_->setObjectName("ClientPanel");
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setObjectName("ScrollBar");
    scrollBar_->setRange(0, 0);
    scrollBar_->installEventFilter(this);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
        topLine_ = static_cast<std::uint32_t>(value);
        RedrawListing();
    });
    lineArea_ = new GutterArea(gutter_, this);
    lineArea_->setObjectName("LineArea");
    lineArea_->resize(gutterWidth_, 0);

    debugPointer_ = new QLabel(clientPanel_);
    debugPointer_->setObjectName("DebugPointer");
    debugPointer_->setPixmap(MakeDebugPointer());
    debugPointer_->setGeometry(40, -16, 16, 16);

    binInfoLabel_ = new QLabel(this);
    binInfoLabel_->setObjectName("BinInfoLabel");

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName("PopupMenu");
    const char* const texts[kMenuItems] = {"&Insert", "&Edit", "&Replace", "&Clear", "Re&move",
                                           "Edit &Jump", "", "Cu&t", "&Copy", "&Paste"};
    for (int i = 0; i < kMenuItems; ++i) {
        QAction* action = i == kSeparator ? popupMenu_->addSeparator() : popupMenu_->addAction(texts[i]);
        actions_[i] = action;
    }
    for (MenuItem hidden : {kSeparator, kCut, kCopy, kPaste})
        actions_[hidden]->setVisible(false);
    connect(actions_[kInsert], &QAction::triggered, this, &TVizuWare::InsertClick);
    connect(actions_[kEdit], &QAction::triggered, this, &TVizuWare::EditClick);
    connect(actions_[kReplace], &QAction::triggered, this, &TVizuWare::ReplaceClick);
    connect(actions_[kClear], &QAction::triggered, this, &TVizuWare::ClearClick);
    connect(actions_[kRemove], &QAction::triggered, this, &TVizuWare::RemoveClick);
    connect(actions_[kEditJump], &QAction::triggered, this, &TVizuWare::EditJumpClick);

    jumpCursor_ = MakeJumpCursor();
    BuildNewProgramPanel();
    FormResize();
}

TVizuWare::~TVizuWare() = default;

void TVizuWare::BuildNewProgramPanel()
{
    newProgram_ = new QWidget(this);
    newProgram_->setObjectName("paNewProgram");
    programTypeGroupBox_ = new QGroupBox(newProgram_);
    programTypeGroupBox_->setObjectName("ProgramTypeGroupBox");
    relAbsBtn_ = new QPushButton(programTypeGroupBox_);
    relAbsBtn_->setObjectName("RelAbsBtn");
    relAbsLabel_ = new QLabel(programTypeGroupBox_);
    relAbsLabel_->setObjectName("RelAbsLabel");
    relAbsLabel_->setWordWrap(true);
    endlessRelativeBtn_ = new QPushButton("Endless relative", programTypeGroupBox_);
    endlessRelativeBtn_->setObjectName("EndlessRelativeBtn");
    endlessRelLabel_ = new QLabel(
        "This mode is only for relative movement, but there will be no limit on the move range.",
        programTypeGroupBox_);
    endlessRelLabel_->setObjectName("EndlessRelLabel");
    endlessRelLabel_->setWordWrap(true);
    programGroupBox_ = new QGroupBox(newProgram_);
    programGroupBox_->setObjectName("ProgramGroupBox");
    uploadBtn_ = new QPushButton("Upload from module", programGroupBox_);
    uploadBtn_->setObjectName("UploadBtn");
    uploadLabel_ = new QLabel("Use this to upload a program previously downloaded to the module.", programGroupBox_);
    uploadLabel_->setObjectName("Label1");
    uploadLabel_->setWordWrap(true);

    connect(relAbsBtn_, &QPushButton::clicked, this, &TVizuWare::RelAbsBtnClick);
    connect(endlessRelativeBtn_, &QPushButton::clicked, this, &TVizuWare::EndlessRelBtnClick);
    connect(uploadBtn_, &QPushButton::clicked, this, [this] {
        if (onUpload)
            onUpload();
    });
}

void TVizuWare::LayoutNewProgramPanel()
{
    constexpr int kLeft = 8;
    constexpr int kGroupWidth = 440;
    constexpr int kButtonLeft = 12;
    constexpr int kButtonWidth = 150;
    constexpr int kLabelLeft = kButtonLeft + kButtonWidth + 12;
    constexpr int kLabelWidth = kGroupWidth - kLabelLeft - 12;
    const bool stepper = document_.MotorKind() == 2;
    const QString relAbsText = stepper ? "It will possible to use both absolute and relative positioning."
                                       : "With this mode it possible to use both absolute and relative positioning. "
                                         "But the moving range will be limited.";
    programTypeGroupBox_->setTitle(stepper ? "New program" : "Select program type for new program");
    relAbsBtn_->setText(stepper ? "New program" : "Relative + absolute");
    relAbsLabel_->setText(relAbsText);

    const int labelHeight = std::max(25, relAbsLabel_->heightForWidth(kLabelWidth));
    relAbsBtn_->setGeometry(kButtonLeft, 24, kButtonWidth, 25);
    relAbsLabel_->setGeometry(kLabelLeft, 24, kLabelWidth, labelHeight);
    int bottom = relAbsLabel_->geometry().bottom() + 1;
    endlessRelativeBtn_->setVisible(!stepper);
    endlessRelLabel_->setVisible(!stepper);
    if (!stepper) {
        const int top = bottom + 10;
        const int h = std::max(25, endlessRelLabel_->heightForWidth(kLabelWidth));
        endlessRelativeBtn_->setGeometry(kButtonLeft, top, kButtonWidth, 25);
        endlessRelLabel_->setGeometry(kLabelLeft, top, kLabelWidth, h);
        bottom = endlessRelLabel_->geometry().bottom() + 1;
    }
    // The group ends 7 pixels below its last label.
    programTypeGroupBox_->setGeometry(kLeft, kLeft, kGroupWidth, bottom + 7);

    const int uploadLabelHeight = std::max(25, uploadLabel_->heightForWidth(kLabelWidth));
    uploadBtn_->setGeometry(kButtonLeft, 24, kButtonWidth, 25);
    uploadLabel_->setGeometry(kLabelLeft, 24, kLabelWidth, uploadLabelHeight);
    programGroupBox_->setGeometry(kLeft, programTypeGroupBox_->geometry().bottom() + 1 + 7, kGroupWidth,
                                  uploadLabel_->geometry().bottom() + 1 + 7);
    newProgram_->setGeometry(0, 0, width(), height());
}

int TVizuWare::TextWidth() const
{
    return width() - (gutterWidth_ + 50) - 30 - scrollBar_->sizeHint().width() - 4;
}

int TVizuWare::TopPanelHeight() const
{
    const QLayout* bar = topPanel_->layout();
    if (bar && bar->hasHeightForWidth())
        return std::max(kTopPanelHeight, bar->heightForWidth(width()));
    return kTopPanelHeight;
}

void TVizuWare::FormResize()
{
    setUpdatesEnabled(false);
    const std::uint8_t type = Program().GetType();
    const int sbw = scrollBar_->sizeHint().width();
    const int top = TopPanelHeight();
    if (type == kProgramAbsoluteRelative || type == kProgramEndlessRelative) {
        scrollBar_->show();
        lineArea_->show();
        topPanel_->show();
        clientPanel_->show();
        newProgram_->hide();
        binInfoLabel_->hide();

        const int n = std::clamp((height() - top) / kRowHeight, 0, kMaxRows);
        for (int i = n; i < rowCount_; ++i)
            FreeRow(i);
        for (int i = 0; i < std::min(n, rowCount_); ++i)
            PlaceRow(i);
        for (int i = rowCount_; i < n; ++i) {
            CreateRow(i);
            PlaceRow(i);
        }
        rowCount_ = n;
        scrollBar_->setPageStep(std::max(n, 1));

        topPanel_->setGeometry(0, 0, width(), top);
        const int clientHeight = std::max(0, height() - top);
        clientPanel_->setGeometry(gutterWidth_, top, std::max(0, width() - sbw - gutterWidth_),
                                  clientHeight);
        scrollBar_->setGeometry(width() - sbw, top, sbw, clientHeight);
        lineArea_->setGeometry(0, top, gutterWidth_, clientHeight);
        if (gutter_.width() != gutterWidth_ || gutter_.height() != clientHeight)
            gutter_ = QImage(gutterWidth_, clientHeight, QImage::Format_RGB32);
        setUpdatesEnabled(true);
        RedrawListing();
        return;
    }
    scrollBar_->hide();
    lineArea_->hide();
    clientPanel_->hide();
    if (type == kProgramBinaryOnly) {
        newProgram_->hide();
        topPanel_->setGeometry(0, 0, width(), top);
        topPanel_->show();
        const std::vector<std::uint8_t>* block = Program().BinaryBlock();
        binInfoLabel_->setText(QString("The source for program is not avaible. The binary program is %1 Bytes")
                                   .arg(block ? block->size() : 0));
        binInfoLabel_->setGeometry(8, top + 8, std::max(0, width() - 16), 25);
        binInfoLabel_->show();
    } else {
        topPanel_->hide();
        binInfoLabel_->hide();
        LayoutNewProgramPanel();
        newProgram_->show();
    }
    setUpdatesEnabled(true);
}

void TVizuWare::CreateRow(int i)
{
    Row& row = rows_[static_cast<std::size_t>(i)];
    row.icon = new QToolButton(clientPanel_);
    row.icon->setFocusPolicy(Qt::StrongFocus);
    row.icon->setIconSize(QSize(32, 20));
    row.icon->setAutoRaise(false);
    row.icon->setCursor(jumpCursorOn_ ? jumpCursor_ : QCursor(Qt::ArrowCursor));
    row.icon->installEventFilter(this);
    // Queued: adding a command opens modal dialogs, during which the form may
    // be resized and this row freed; the click must have returned by then.
    connect(
        row.icon, &QToolButton::clicked, this,
        [this, icon = row.icon] {
            const int r = RowIndexOf(icon);
            if (r >= 0)
                editor_->RowIconClicked(topLine_ + static_cast<std::uint32_t>(r));
        },
        Qt::QueuedConnection);
    QFont font = row.icon->font();
    font.setPointSize(10);
    row.text = new QLabel(clientPanel_);
    row.number = new QLabel(clientPanel_);
    for (QLabel* label : {row.text, row.number}) {
        label->setFont(font);
        label->installEventFilter(this);
        label->setContextMenuPolicy(Qt::DefaultContextMenu);
    }
    row.text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    row.number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.shownId = -1;
    row.icon->show();
    row.text->show();
    row.number->show();
}

void TVizuWare::PlaceRow(int i)
{
    Row& row = rows_[static_cast<std::size_t>(i)];
    const int top = kRowHeight * i;
    row.icon->setGeometry(0, top, 40, kRowHeight);
    row.number->setGeometry(50, top, 30, kRowHeight);
    row.text->setGeometry(80, top, std::max(0, TextWidth()), kRowHeight);
}

void TVizuWare::FreeRow(int i)
{
    Row& row = rows_[static_cast<std::size_t>(i)];
    delete row.icon;
    delete row.number;
    delete row.text;
    row = Row{};
}

QToolButton* TVizuWare::RowIcon(int row) const
{
    return row >= 0 && row < kMaxRows ? rows_[static_cast<std::size_t>(row)].icon : nullptr;
}

QLabel* TVizuWare::RowNumber(int row) const
{
    return row >= 0 && row < kMaxRows ? rows_[static_cast<std::size_t>(row)].number : nullptr;
}

QLabel* TVizuWare::RowText(int row) const
{
    return row >= 0 && row < kMaxRows ? rows_[static_cast<std::size_t>(row)].text : nullptr;
}

int TVizuWare::RowIndexOf(const QObject* control) const
{
    if (!control)
        return -1;
    for (int i = 0; i < kMaxRows; ++i)
        if (rows_[static_cast<std::size_t>(i)].icon == control)
            return i;
    return -1;
}

int TVizuWare::RowOfLabel(const QObject* control) const
{
    if (!control)
        return -1;
    for (int i = 0; i < rowCount_; ++i) {
        const Row& row = rows_[static_cast<std::size_t>(i)];
        if (row.number == control || row.text == control)
            return i;
    }
    return -1;
}

void TVizuWare::RedrawListing()
{
    const std::uint8_t type = Program().GetType();
    if (type != kProgramAbsoluteRelative && type != kProgramEndlessRelative)
        return;
    const int w = GutterWidth(Program().JumpLines().LargestColumn(), width());
    if (w != gutterWidth_) {
        gutterWidth_ = w;
        FormResize();  // ends with this redraw again
        return;
    }
    ++redraws_;
    const int last = Program().LastLineNumber();
    if (scrollBar_->maximum() != last) {
        const QSignalBlocker block(scrollBar_);
        scrollBar_->setMaximum(last);
        topLine_ = static_cast<std::uint32_t>(scrollBar_->value());
    }
    DrawGutter();
    for (int i = 0; i < rowCount_; ++i)
        RefreshRow(i);
    PlaceDebugPointer();
}

void TVizuWare::DrawGutter()
{
    if (gutter_.isNull()) {
        lineArea_->update();
        return;
    }
    gutter_.fill(palette().color(QPalette::Button));
    SGutterView view;
    view.width = gutterWidth_;
    view.height = gutter_.height();
    view.topLine = topLine_;
    view.rowCount = rowCount_;
    const std::vector<SGutterPath> paths = BuildGutter(Program(), view);
    QPainter painter(&gutter_);
    for (const SGutterPath& path : paths) {
        const QColor color = ToQColor(path.color);
        painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        QPolygon line;
        for (const SGutterPoint& p : path.points)
            line << QPoint(p.x, p.y);
        painter.drawPolyline(line);
        QPolygon head;
        for (const SGutterPoint& p : ArrowOutline(path.arrow, path.points.back()))
            head << QPoint(p.x, p.y);
        painter.setBrush(color);
        painter.drawPolygon(head);
    }
    painter.end();
    lineArea_->update();
}

void TVizuWare::RefreshRow(int i)
{
    Row& row = rows_[static_cast<std::size_t>(i)];
    const std::uint32_t line = topLine_ + static_cast<std::uint32_t>(i);
    std::uint8_t id = 0;
    const std::vector<std::uint8_t>* cells = nullptr;
    const bool used = line <= 0xFFFF && Program().GetLine(static_cast<std::uint16_t>(line), id, cells);
    const int shown = used ? id : -1;
    if (row.shownId != shown) {
        row.icon->setIcon(shown > 0 ? selectCommand_->SmallIcon(shown) : QIcon());
        row.shownId = shown;
    }
    static const std::vector<std::uint8_t> kNone;
    const SRowText text = quenor::RowText(Program(), line, used ? id : 0, used ? *cells : kNone);
    // Remarks and unit names are Windows-1252 text.
    const QString number = FromCp1252(text.number);
    const QString full = FromCp1252(text.text);
    const QString hint = FromCp1252(text.hint);
    row.number->setText(number);
    row.text->setText(row.text->fontMetrics().elidedText(full, Qt::ElideRight, row.text->contentsRect().width()));
    if (row.number->toolTip() != hint) {
        row.number->setToolTip(hint);
        row.text->setToolTip(hint);
    }
}

void TVizuWare::PlaceDebugPointer()
{
    if (pointerPlace_ == DebugPointerPlace::Hidden) {
        debugPointer_->hide();
        return;
    }
    debugPointer_->show();
    if (pointerPlace_ == DebugPointerPlace::Above) {
        debugPointer_->move(debugPointer_->x(), -debugPointer_->height());
        return;
    }
    const int line = DebugPointerLine(document_.Code(), programCounter_, Program().LastLineNumber());
    const std::int64_t row = static_cast<std::int64_t>(line) - static_cast<std::int64_t>(topLine_);
    if (line < 0 || row < 0 || row >= rowCount_) {
        debugPointer_->move(debugPointer_->x(), -debugPointer_->height());
        return;
    }
    const QRect icon = rows_[static_cast<std::size_t>(row)].icon->geometry();
    debugPointer_->move(icon.left() + 40, icon.top() + icon.height() / 2 - debugPointer_->height() / 2);
    debugPointer_->raise();
}

void TVizuWare::UpdateLine(std::uint16_t line)
{
    if (line < topLine_)
        return;
    const std::uint32_t row = line - topLine_;
    if (row < static_cast<std::uint32_t>(rowCount_))
        RefreshRow(static_cast<int>(row));
}

void TVizuWare::ApplyJumpCursor(bool on)
{
    jumpCursorOn_ = on;
    const QCursor cursor = on ? jumpCursor_ : QCursor(Qt::ArrowCursor);
    if (on)
        setCursor(cursor);
    else
        unsetCursor();
    clientPanel_->setCursor(cursor);
    for (int i = 0; i < rowCount_; ++i)
        rows_[static_cast<std::size_t>(i)].icon->setCursor(cursor);
}

void TVizuWare::Message(const std::string& text)
{
    QMessageBox::information(this, kCaptionApplication, FromCp1252(text));
}

void TVizuWare::SetModuleType(int kind)
{
    document_.SetMotorKind(kind);
    FormResize();
}

void TVizuWare::SetProgramCounter(std::uint32_t programCounter)
{
    programCounter_ = programCounter;
    pointerPlace_ = DebugPointerPlace::OnLine;
    PlaceDebugPointer();
}

void TVizuWare::ShowDebugPointer(DebugPointerPlace place, std::uint32_t programCounter)
{
    programCounter_ = programCounter;
    pointerPlace_ = place;
    if (place == DebugPointerPlace::OnLine) {
        // The running line comes into view as the first row when it is not shown.
        const int line = DebugPointerLine(document_.Code(), programCounter_, Program().LastLineNumber());
        const std::int64_t row = static_cast<std::int64_t>(line) - static_cast<std::int64_t>(topLine_);
        if (line >= 0 && (row < 0 || row >= rowCount_))
            ScrollTo(line);
    }
    PlaceDebugPointer();
}

void TVizuWare::ProgramChanged()
{
    editor_->ProgramReplaced();
    FormResize();
}

bool TVizuWare::IsAbsRelProgram() const
{
    return document_.Program().GetType() == kProgramAbsoluteRelative;
}

void TVizuWare::SetProgramType(std::uint8_t type)
{
    Program().SetType(type);
    if (onCommand)
        onCommand(8, 1);
    FormResize();
}

void TVizuWare::RelAbsBtnClick()
{
    SetProgramType(kProgramAbsoluteRelative);
}

void TVizuWare::EndlessRelBtnClick()
{
    SetProgramType(kProgramEndlessRelative);
}

void TVizuWare::ScrollTo(int position)
{
    scrollBar_->setValue(position);  // clamps; redraws through valueChanged when it moved
}

void TVizuWare::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void TVizuWare::wheelEvent(QWheelEvent* event)
{
    // High-resolution wheels send parts of a step; they add up to whole steps.
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / 120;
    wheelRest_ -= steps * 120;
    event->accept();
    if (steps != 0 && scrollBar_->isVisible())
        ScrollTo(scrollBar_->value() - steps);
}

void TVizuWare::PopupMenuPopup(int row)
{
    currentLine_ = topLine_ + static_cast<std::uint32_t>(std::max(row, 0));
    std::uint8_t id = 0;
    const std::vector<std::uint8_t>* cells = nullptr;
    const bool exists = currentLine_ <= 0xFFFF && Program().GetLine(static_cast<std::uint16_t>(currentLine_), id, cells);
    actions_[kInsert]->setEnabled(true);
    actions_[kRemove]->setEnabled(true);
    actions_[kEdit]->setEnabled(exists && id != kCmdNoOperation);
    actions_[kReplace]->setEnabled(exists);
    actions_[kClear]->setEnabled(exists);
    actions_[kEditJump]->setEnabled(exists && CGraphicProgram::IsJump(id));
    for (MenuItem hidden : {kSeparator, kCut, kCopy, kPaste})
        actions_[hidden]->setVisible(false);
}

// Lines past the last possible line number exist only as empty rows.
bool TVizuWare::CurrentLine(std::uint16_t& line) const
{
    if (currentLine_ > 0xFFFF)
        return false;
    line = static_cast<std::uint16_t>(currentLine_);
    return true;
}

void TVizuWare::InsertClick()
{
    if (std::uint16_t line = 0; CurrentLine(line))
        editor_->InsertLine(line);
}

void TVizuWare::EditClick()
{
    if (std::uint16_t line = 0; CurrentLine(line))
        editor_->EditCommandAt(line);
}

void TVizuWare::ReplaceClick()
{
    if (std::uint16_t line = 0; CurrentLine(line))
        editor_->ReplaceLine(line);
}

void TVizuWare::ClearClick()
{
    if (std::uint16_t line = 0; CurrentLine(line))
        editor_->ClearLine(line);
}

void TVizuWare::RemoveClick()
{
    if (std::uint16_t line = 0; CurrentLine(line))
        editor_->RemoveLine(line);
}

void TVizuWare::EditJumpClick()
{
    if (std::uint16_t line = 0; CurrentLine(line))
        editor_->StartPicking(line);
}

bool TVizuWare::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == scrollBar_ && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    const int iconRow = RowIndexOf(watched);
    if (iconRow >= 0) {
        if (event->type() == QEvent::ContextMenu) {
            PopupMenuPopup(iconRow);
            popupMenu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const std::uint32_t line = topLine_ + static_cast<std::uint32_t>(iconRow);
            const Qt::KeyboardModifiers mods = key->modifiers();
            switch (key->key()) {
            case Qt::Key_PageUp: ScrollTo(scrollBar_->value() - scrollBar_->pageStep()); return true;
            case Qt::Key_PageDown: ScrollTo(scrollBar_->value() + scrollBar_->pageStep()); return true;
            case Qt::Key_Home: ScrollTo(scrollBar_->minimum()); return true;
            case Qt::Key_End: ScrollTo(scrollBar_->maximum()); return true;
            case Qt::Key_Insert:
                if (!(mods & (Qt::ShiftModifier | Qt::ControlModifier)) && line <= 0xFFFF)
                    editor_->InsertLine(static_cast<std::uint16_t>(line));
                return true;
            case Qt::Key_Delete:
                if (!(mods & Qt::ShiftModifier) && line <= 0xFFFF)
                    editor_->RemoveLine(static_cast<std::uint16_t>(line));
                return true;
            default: break;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::ContextMenu) {
        const int row = RowOfLabel(watched);
        if (row >= 0) {
            const std::uint32_t line = topLine_ + static_cast<std::uint32_t>(row);
            if (event->type() == QEvent::MouseButtonDblClick) {
                // After the event, like a row icon's click: the label may not outlive the dialog.
                if (line <= 0xFFFF)
                    QMetaObject::invokeMethod(
                        this, [this, line] { editor_->EditCommandAt(static_cast<std::uint16_t>(line)); },
                        Qt::QueuedConnection);
            } else {
                currentLine_ = line;
                std::uint8_t id = 0;
                const std::vector<std::uint8_t>* cells = nullptr;
                if (line <= 0xFFFF && Program().GetLine(static_cast<std::uint16_t>(line), id, cells) &&
                    CGraphicProgram::IsJump(id))
                    EditJumpClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quenor
