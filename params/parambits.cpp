// Bit-field controls.
#include "params/paramkinds.h"
#include "params/paramvalue.h"

namespace quenor {

// ---------------------------------------------------------------------------
// Radio groups

void CParamControlRadioGroup::BuildStep(const InitParam* row)
{
    CParamControlBits::BuildStep(row);
    ReadItems(row, 7);
    // The item of the value the group saves; none when no item carries it.
    checked_ = items_.FindValue(GetField());
    inSetupFile_ = true;
}

void CParamControlRadioGroup::UpdateDisplay()
{
    checked_ = items_.FindValue(GetField());
    Refresh();
}

void CParamControlRadioGroup::ItemReleased(int i)
{
    // A button without an item or with the value -1 is disabled.
    if (i < 0 || i >= items_.Count() || items_.ValueAt(i) == -1)
        return;
    SetField(items_.ValueAt(i));
    checked_ = i;
    Post(UM_CONTROLCHANGED, register_, ModeFlag());
}

ParamPoint CParamControlRadioGroup::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    return {p.x, p.y + GetHeight()};
}

// ---------------------------------------------------------------------------
// Bit view

void CParamControlBitView::BuildStep(const InitParam* row)
{
    CParamControlBits::BuildStep(row);
    colour_ = row[7].i;
    ReadItems(row, 8);
}

void CParamControlBitView::FinishBuild()
{
    PostPoll(FieldWidth());
    UpdateDisplay();
    PostBind();
}

void CParamControlBitView::UpdateDisplay()
{
    text_ = items_.Count() == 0 ? std::string("---") : items_.TextAt(items_.IndexOfValue(GetField()));
    Refresh();
}

ParamPoint CParamControlBitView::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    return {p.x, p.y + 10};
}

// ---------------------------------------------------------------------------
// Check box

void CParamControlCheckBox::BuildStep(const InitParam* row)
{
    CParamControlBits::BuildStep(row);
    inSetupFile_ = true;
}

void CParamControlCheckBox::Clicked(bool checked)
{
    checked_ = checked;
    const std::int32_t s = checked ? 1 : 0;
    if (s == GetField())
        return;
    SetField(s);
    Post(UM_CONTROLCHANGED, register_, 0);
}

void CParamControlCheckBox::UpdateDisplay()
{
    checked_ = GetField() != 0;
    Refresh();
}

ParamPoint CParamControlCheckBox::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    return {p.x, p.y + 13};
}

// ---------------------------------------------------------------------------
// Bit list

void CParamControlBitList::BuildStep(const InitParam* row)
{
    CParamControlBits::BuildStep(row);
    colour_ = row[7].i;
    ReadItems(row, 8);
    enabled_.assign(static_cast<std::size_t>(items_.Count()), false);
}

void CParamControlBitList::FinishBuild()
{
    PostPoll(FieldWidth());
    UpdateDisplay();
    PostBind();
}

void CParamControlBitList::UpdateDisplay()
{
    const auto f = static_cast<std::uint32_t>(GetField());
    for (int i = 0; i < items_.Count(); ++i)
        enabled_[static_cast<std::size_t>(i)] = (ShiftRight(f, items_.ValueAt(i)) & 1u) != 0;
    Refresh();
}

bool CParamControlBitList::LabelEnabled(int i) const
{
    return i >= 0 && i < static_cast<int>(enabled_.size()) && enabled_[static_cast<std::size_t>(i)];
}

ParamPoint CParamControlBitList::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    int sum = 0;
    for (int i = 0; i < items_.Count(); ++i)
        sum += LabelHeight(i);
    height_ = sum;
    return {p.x, p.y + sum};
}

// ---------------------------------------------------------------------------
// Combo

void CParamControlCombo::BuildStep(const InitParam* row)
{
    CParamControlBits::BuildStep(row);
    listWidth_ = row[7].i;
    ReadItems(row, 8);
    // The item of the value the combo saves; none when no item carries it.
    selected_ = items_.FindValue(GetField());
    inSetupFile_ = true;
}

void CParamControlCombo::ChoiceMade(int index)
{
    selected_ = index;
    const std::int32_t v = items_.ValueAt(index);
    if (v == GetField())
        return;
    SetField(v);
    changed_ = true;
    Post(UM_CONTROLCHANGED, register_, 0);
}

void CParamControlCombo::UpdateDisplay()
{
    // An open list is the user's: it is not changed under the pointer.
    if (ListOpen())
        return;
    selected_ = items_.FindValue(GetField());
    Refresh();
}

void CParamControlCombo::ListClosed()
{
    UpdateDisplay();
}

ParamPoint CParamControlCombo::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    return {p.x, p.y + 20};
}

// ---------------------------------------------------------------------------
// Bit lamps

void CParamBitLamps::BuildStep(const InitParam* row)
{
    CParamControlBits::BuildStep(row);
    flags_ = row[7].i;
    if (!row[8].p)
        imageList_ = nullptr;  // the row shows no pictures
    onImage_ = row[9].i;
    numberBase_ = row[10].i;
    if (imageList_) {
        lampWidth_ = imageList_->Width();
        lampHeight_ = imageList_->Height();
    }
    height_ = ImageHeight();
}

void CParamBitLamps::FinishBuild()
{
    PostPoll(FieldWidth());
    UpdateDisplay();
    PostBind();
}

void CParamBitLamps::SetTextHeight(int h)
{
    lampRowTop_ = h + 2;
    height_ = ImageHeight();
}

bool CParamBitLamps::LampLit(int i) const
{
    const int bit = bitCount_ - i - 1;
    return (ShiftRight(static_cast<std::uint32_t>(GetField()), bit) & 1u) != 0 && bit >= 0;
}

void CParamBitLamps::UpdateDisplay()
{
    const std::int32_t f = GetField();
    redrawn_ = false;
    if (lastDrawn_ && *lastDrawn_ == f)
        return;
    lastDrawn_ = f;
    redrawn_ = true;
    Refresh();
}

int CParamBitLamps::LampAt(int x, int y) const
{
    int found = -1;
    for (int i = 0; i < bitCount_; ++i) {
        const int left = LampLeft(i);
        if (left <= x && left + lampWidth_ >= x && y >= lampRowTop_)
            found = i;
    }
    return found;
}

void CParamBitLamps::Clicked()
{
    if (!Clickable())
        return;
    const int i = LampAt(mouseX_, mouseY_);
    if (i < 0)
        return;
    const int b = bitCount_ - i - 1;
    const bool set = (ShiftRight(static_cast<std::uint32_t>(GetField()), b) & 1u) != 0;
    Post(UM_SETOUTPUT, b, set ? 0 : 1);
}

ParamPoint CParamBitLamps::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    height_ = ImageHeight();
    return {p.x, p.y + height_};
}

}  // namespace quenor
