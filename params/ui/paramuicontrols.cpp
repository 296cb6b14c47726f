#include "params/ui/paramuicontrols.h"

#include <algorithm>

#include "params/paramvalue.h"
#include "params/ui/lampimagelist.h"
#include "platform/cp1252.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <type_traits>

namespace quenor {

QString HintToQString(const std::string& hint)
{
    QString s = FromCp1252(hint);
    s.remove(QLatin1Char('\r'));
    return s;
}

namespace {

QString Text(const std::string& s)
{
    return FromCp1252(s);
}

void SetTextColour(QWidget* w, int colour)
{
    const QColor c = ColourFromTColor(colour);
    if (!c.isValid())
        return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, c);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, c);
    w->setPalette(pal);
}

void Show(QWidget* w, bool visible)
{
    if (w)
        w->setVisible(visible);
}

}  // namespace

// ---------------------------------------------------------------------------
// Edit

void EditControlUi::CreateVisuals()
{
    valueLabel_ = Add(new ClickLabel(parent_), 0);
    valueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valueLabel_->setFixedHeight(15);
    valueLabel_->onClick = [this] { LabelClicked(); };

    captionLabel_ = Add(new ClickLabel(parent_), 0);
    captionLabel_->setText(Text(Caption()));
    captionLabel_->adjustSize();
    captionLabel_->onClick = [this] { LabelClicked(); };

    if (HasSpin()) {
        spin_ = Add(new SpinButtons(parent_), 0);
        spin_->onStep = [this](bool up) { SpinStep(up); };
    }
    if (Editable()) {
        edit_ = Add(new QLineEdit(parent_), 0);
        edit_->setFixedWidth(kEditWidth);
        QObject::connect(edit_, &QLineEdit::returnPressed, edit_,
                         [this] { EnterPressed(ToCp1252(edit_->text())); });
    }

    unit_ = Add(new ClickLabel(parent_), 1);
    FitUnitText(unit_, ParamPageFont(), Text(UnitText()), UnitRoom());
    if (UnitText().empty())
        unit_->setFixedWidth(0);
    unit_->onClick = [this] {
        if (UnitClicked())
            FitUnitText(unit_, ParamPageFont(), Text(ShownUnitText()), UnitRoom());
    };

    if (edit_ && Greyed()) {
        edit_->setEnabled(false);
        QPalette pal = edit_->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Button));
        edit_->setPalette(pal);
    }
}

int EditControlUi::UnitRoom() const
{
    // From the unit's left edge to the line before the next column.
    return kColumnLineX - (Editable() ? 145 + kEditWidth + 15 : 155) - kPageTextGap;
}

void EditControlUi::PlaceValueLabel()
{
    valueLabel_->adjustSize();
    const QFontMetrics fm(valueLabel_->font());
    const int textWidth = valueLabel_->text().isEmpty() ? 0 : fm.horizontalAdvance(valueLabel_->text());
    valueLabel_->move(valueRight_ - valueLabel_->width(), valueTop_);
    if (!captionLabel_)
        return;
    // The caption ends before the value begins.
    const int captionLeft = valueRight_ - (HasSpin() ? 135 : 150);
    FitText(captionLabel_, Text(Caption()),
            valueRight_ - textWidth - (textWidth > 0 ? kPageTextGap : 0) - captionLeft);
}

void EditControlUi::Refresh()
{
    if (!valueLabel_)
        return;
    valueLabel_->setText(Text(ValueText()));
    PlaceValueLabel();
}

ParamPoint EditControlUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlEdit::Arrange(visible, p);
    const Layout l = LayoutAt(p);
    captionLabel_->move(l.caption.x, l.caption.y);
    valueRight_ = l.valueRight;
    valueTop_ = l.caption.y;
    PlaceValueLabel();
    if (spin_)
        spin_->move(l.spin.x, l.spin.y);
    if (edit_)
        edit_->move(l.edit.x, l.edit.y);
    unit_->move(l.unit.x, l.unit.y);
    for (QWidget* w : std::initializer_list<QWidget*>{captionLabel_, valueLabel_, spin_, edit_, unit_})
        Show(w, visible);
    return next;
}

// ---------------------------------------------------------------------------
// Page

void PageControlUi::CreateVisuals()
{
    auto* tabs = qobject_cast<QTabWidget*>(parent_);
    if (!tabs)
        return;  // the dummy page: the rows go into the parent itself
    tabSheet_ = new QWidget;
    widgets_.emplace_back(tabSheet_.data());
    auto* layout = new QVBoxLayout(tabSheet_);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(tabSheet_);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setVerticalScrollBarPolicy(ShowsVerticalScrollBar() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    scroll_->setHorizontalScrollBarPolicy(ShowsHorizontalScrollBar() ? Qt::ScrollBarAsNeeded
                                                                     : Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    content_ = new ScrollContent;
    scroll_->setWidget(content_);
    layout->addWidget(scroll_);
    tabs->addTab(tabSheet_, Text(Caption()));
}

QWidget* PageControlUi::Container() const
{
    return content_ ? content_.data() : parent_;
}

ParamPoint PageControlUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlPage::Arrange(visible, p);
    auto* tabs = qobject_cast<QTabWidget*>(parent_);
    if (tabs && tabSheet_) {
        const int index = tabs->indexOf(tabSheet_);
        if (index >= 0)
            tabs->setTabVisible(index, visible);
        if (scroll_->verticalScrollBar()->value() != 0)
            scroll_->verticalScrollBar()->setValue(0);
        // The content grows to the controls once they have been placed.
        QTimer::singleShot(0, content_.data(), [c = content_] {
            if (c)
                c->updateGeometry();
        });
    }
    return next;
}

// ---------------------------------------------------------------------------
// Bar

void BarControlUi::CreateVisuals()
{
    if (Style() == 1) {
        bevel1_ = Add(new QFrame(parent_), -1);
        bevel1_->setFrameShape(QFrame::HLine);
        bevel1_->setFrameShadow(QFrame::Sunken);
        bevel1_->setFixedSize(8, 2);
        captionLabel_ = Add(new QLabel(Text(Caption()), parent_), -1);
        FitText(captionLabel_, Text(Caption()), 244 - 2 - 8);
        bevel2_ = Add(new QFrame(parent_), -1);
        bevel2_->setFrameShape(QFrame::HLine);
        bevel2_->setFrameShadow(QFrame::Sunken);
        bevel2_->setFixedSize(std::max(0, 244 - captionLabel_->width()), 2);
    } else if (Style() == 2) {
        bevel1_ = Add(new QFrame(parent_), -1);
        bevel1_->setFrameShape(QFrame::VLine);
        bevel1_->setFrameShadow(QFrame::Sunken);
        bevel1_->setFixedSize(2, std::max(0, parent_->height() - 30));
    }
}

ParamPoint BarControlUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlBar::Arrange(visible, p);
    if (Style() == 1) {
        bevel1_->move(p.x, p.y + 7);
        bevel2_->move(p.x + captionLabel_->width() + 11, p.y + 7);
        captionLabel_->move(p.x + 9, p.y + 1);
        Show(bevel1_, visible);
        Show(bevel2_, visible);
        Show(captionLabel_, visible);
    } else if (Style() == 2) {
        bevel1_->setFixedSize(2, std::max(0, parent_->height() - 5));
        bevel1_->move(p.x + 265, 5);
        Show(bevel1_, visible);
    }
    return next;
}

// ---------------------------------------------------------------------------
// Radio groups

template <class Logic>
void RadioGroupUiT<Logic>::CreateVisuals()
{
    box_ = this->Add(new QGroupBox(Text(this->Caption()), this->parent_), 0);
    box_->setFixedSize(255, this->GroupHeight());
    const ParamItemList& items = this->Items();
    for (int i = 0; i < items.Count(); ++i) {
        auto* b = new WideRadioButton(Text(items.TextAt(i)), box_);
        this->SetHint(b, i + 1);
        b->setGeometry(8, i * 15 + 15, 230, 15);
        FitText(b, Text(items.TextAt(i)), 230 - IndicatorRoom(b->style(), true));
        b->setChecked(i == this->CheckedIndex());
        b->setEnabled(items.ValueAt(i) != -1);
        QObject::connect(b, &QRadioButton::clicked, b, [this, i] { this->ItemReleased(i); });
        buttons_.push_back(b);
    }
    if (!this->HasModeBox())
        FitTitle(box_, Text(this->Caption()), box_->width() - 16);
    if (this->HasModeBox()) {
        modeBox_ = new QCheckBox(QStringLiteral("Change actual mode"), box_);
        // 120 pixels, or what the platform's font needs for the text.
        modeBox_->setFixedWidth(std::max(120, modeBox_->sizeHint().width()));
        modeBox_->setChecked(true);
        FitTitle(box_, Text(this->Caption()), box_->width() - 16 - modeBox_->width() - 10 - kPageTextGap);
        if constexpr (std::is_base_of_v<CParamControlRadioGroup2, Logic>)
            QObject::connect(modeBox_, &QCheckBox::toggled, modeBox_,
                             [this](bool on) { this->SetChangeActualMode(on); });
    }
}

template <class Logic>
void RadioGroupUiT<Logic>::Refresh()
{
    if (QRadioButton* b = Button(this->CheckedIndex())) {
        b->setChecked(true);
        return;
    }
    // No item carries the value: none is checked.
    for (QRadioButton* b : buttons_) {
        if (!b->isChecked())
            continue;
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

template <class Logic>
QRadioButton* RadioGroupUiT<Logic>::Button(int i) const
{
    return i >= 0 && i < static_cast<int>(buttons_.size()) ? buttons_[static_cast<std::size_t>(i)] : nullptr;
}

template <class Logic>
ParamPoint RadioGroupUiT<Logic>::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = Logic::Arrange(visible, p);
    box_->move(p.x, p.y + 2);
    box_->setVisible(visible);
    if (modeBox_) {
        modeBox_->move(box_->width() - modeBox_->width() - 10, 10);
        modeBox_->show();
    }
    return next;
}

template class RadioGroupUiT<CParamControlRadioGroup>;
template class RadioGroupUiT<CParamControlRadioGroup2>;

// ---------------------------------------------------------------------------
// Bit view

void BitViewUi::CreateVisuals()
{
    captionLabel_ = Add(new QLabel(Text(Caption()), parent_), -1);
    captionLabel_->adjustSize();
    value_ = Add(new QLabel(parent_), -1);
    value_->setFixedWidth(80);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetTextColour(value_, Colour());
}

void BitViewUi::Refresh()
{
    if (!value_ || !captionLabel_)
        return;
    value_->setText(Text(ValueText()));
    // The value is right-aligned in its 80 pixels at x + 70: the caption ends
    // before it.
    const QFontMetrics fm(value_->font());
    const int textWidth = std::min(value_->width(), fm.horizontalAdvance(value_->text()));
    FitText(captionLabel_, Text(Caption()), 150 - textWidth - (textWidth > 0 ? kPageTextGap : 0));
}

ParamPoint BitViewUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlBitView::Arrange(visible, p);
    captionLabel_->move(p.x, p.y);
    value_->move(p.x + 70, p.y);
    Show(captionLabel_, visible);
    Show(value_, visible);
    return next;
}

// ---------------------------------------------------------------------------
// Check box

void CheckBoxUi::CreateVisuals()
{
    box_ = Add(new WideCheckBox(Text(Caption()), parent_), 0);
    box_->setFixedWidth(260);
    FitText(box_, Text(Caption()), 260 - IndicatorRoom(box_->style(), false));
    QObject::connect(box_, &QCheckBox::clicked, box_, [this](bool checked) { Clicked(checked); });
}

void CheckBoxUi::Refresh()
{
    if (box_)
        box_->setChecked(Checked());  // does not report a click
}

ParamPoint CheckBoxUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlCheckBox::Arrange(visible, p);
    box_->move(p.x, p.y);
    box_->setVisible(visible);
    return next;
}

// ---------------------------------------------------------------------------
// Bit list

void BitListUi::CreateVisuals()
{
    for (int i = 0; i < Items().Count(); ++i) {
        QLabel* l = Add(new QLabel(Text(Items().TextAt(i)), parent_), -1);
        FitText(l, Text(Items().TextAt(i)), kColumnLineX - 5 - kPageTextGap);
        l->setEnabled(false);
        SetTextColour(l, Colour());
        labels_.push_back(l);
    }
}

QLabel* BitListUi::Label(int i) const
{
    return i >= 0 && i < static_cast<int>(labels_.size()) ? labels_[static_cast<std::size_t>(i)] : nullptr;
}

int BitListUi::LabelHeight(int i) const
{
    const QLabel* l = Label(i);
    return l ? l->height() : 0;
}

void BitListUi::Refresh()
{
    for (int i = 0; i < static_cast<int>(labels_.size()); ++i)
        labels_[static_cast<std::size_t>(i)]->setEnabled(LabelEnabled(i));
}

ParamPoint BitListUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlBitList::Arrange(visible, p);
    int y = p.y;
    for (QLabel* l : labels_) {
        l->move(p.x + 5, y);
        y += l->height();
        l->setVisible(visible);
    }
    return next;
}

// ---------------------------------------------------------------------------
// Combo

void ComboUi::CreateVisuals()
{
    captionLabel_ = Add(new QLabel(Text(Caption()), parent_), 0);
    combo_ = Add(new ParamComboBox(parent_), 0);
    combo_->setFixedWidth(ListWidth());
    FitText(captionLabel_, Text(Caption()), 260 - 27 - ListWidth() - kPageTextGap);
    for (int i = 0; i < Items().Count(); ++i)
        combo_->addItem(Text(Items().TextAt(i)));
    combo_->setCurrentIndex(SelectedIndex());
    QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_, [this](int index) {
        if (index >= 0)
            ChoiceMade(index);
    });
    combo_->onListClosed = [this] { ListClosed(); };
}

bool ComboUi::ListOpen() const
{
    return combo_ && combo_->ListOpen();
}

void ComboUi::Refresh()
{
    if (!combo_ || Items().Count() == 0)
        return;
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(SelectedIndex());
}

ParamPoint ComboUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamControlCombo::Arrange(visible, p);
    captionLabel_->move(p.x, p.y);
    combo_->move(p.x + 260 - combo_->width() - 27, p.y - 3);
    Show(captionLabel_, visible);
    Show(combo_, visible);
    return next;
}

// ---------------------------------------------------------------------------
// Bit lamps

void BitLampsUi::CreateVisuals()
{
    view_ = Add(new LampView(parent_), -1);
    QFont font = view_->font();
    font.setPointSize(8);
    view_->setFont(font);
    const QFontMetrics fm(font);
    SetTextHeight(fm.height());

    const auto* list = dynamic_cast<const QtLampImageList*>(ImageList());
    QImage canvas(std::max(1, ImageWidth()), std::max(1, ImageHeight()), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(list ? list->Background() : view_->palette().color(QPalette::Window));
    {
        QPainter painter(&canvas);
        painter.setFont(font);
        painter.setPen(view_->palette().color(QPalette::WindowText));
        for (int i = 0; i < BitCount(); ++i) {
            const QString number = QString::number(LampNumber(i));
            const int textWidth = fm.horizontalAdvance(number);
            const int left =
                static_cast<int>(RoundHalfAway((LampWidth() + kLampGap) * i + LampWidth() * 0.5 - textWidth * 0.5)) - 1;
            painter.drawText(left, fm.ascent(), number);
        }
    }
    view_->SetCanvas(std::move(canvas));
    view_->onMouseMove = [this](int x, int y) { MouseMoved(x, y); };
    view_->onClick = [this] { Clicked(); };
}

void BitLampsUi::Refresh()
{
    if (!view_)
        return;
    const auto* list = dynamic_cast<const QtLampImageList*>(ImageList());
    {
        QPainter painter(&view_->Canvas());
        for (int i = 0; i < BitCount(); ++i) {
            const QRect place(LampLeft(i), LampRowTop(), LampWidth(), LampHeight());
            if (const QImage* image = list ? list->Image(LampImageIndex(i)) : nullptr) {
                painter.drawImage(place.topLeft(), *image);
            } else {
                // No picture: a plain lamp, dark green when lit.
                painter.fillRect(place, LampLit(i) ? QColor(0, 160, 0) : QColor(160, 160, 160));
            }
        }
    }
    view_->update();
}

ParamPoint BitLampsUi::Arrange(bool visible, ParamPoint p)
{
    const ParamPoint next = CParamBitLamps::Arrange(visible, p);
    view_->move(p.x + 10, p.y);
    view_->setVisible(visible);
    return next;
}

}  // namespace quenor
