#pragma once
// The control kinds. Each class holds the state that its widgets show (texts,
// checked items, lit lamps) and takes the user's actions as plain calls, so
// everything here runs and is tested without a display.

#include "params/lampimages.h"
#include "params/paramcontrol.h"

#include <optional>
#include <string>
#include <vector>

namespace quenor {

// Notice codes of UM_PARAMERROR posted by the edits.
enum : int {
    kNoticeAccepted = 0,
    kNoticeBelowMinimum = 1,
    kNoticeAboveMaximum = 2,
    kNoticeInvalidNumber = 3,
    kNoticeZero = 6,
};

// Kind 1: a register as a number with unit, scale and limits.
class CParamControlEdit : public CParamControl {
public:
    using CParamControl::CParamControl;

    // Places of the sub-controls for Arrange at p.
    struct Layout {
        ParamPoint caption;
        int valueRight = 0;  // right edge of the value label; its top is caption.y
        ParamPoint spin;
        ParamPoint edit;
        ParamPoint unit;
        int height = 0;
    };

    void SetValue(std::int32_t v) override;
    void UpdateDisplay() override;
    void SetDisplayMode(double scale) override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    Layout LayoutAt(ParamPoint p) const;

    // Enter in the edit field with its text: checks it, posts the notice and,
    // when accepted, the new value. Returns true when the key is consumed.
    bool EnterPressed(std::string_view text);
    // One step of the spin button.
    void SpinStep(bool up);
    // The caption or value label clicked: read the register once.
    void LabelClicked() const;
    // The unit label clicked: switches between the unit and the alternate unit
    // when there is one. Returns true when it switched.
    bool UnitClicked();

    int Flags() const { return flags_; }
    int ValueType() const { return flags_ & efTypeMask; }
    bool Editable() const { return (flags_ & efEditable) != 0; }
    bool HasSpin() const { return (flags_ & efSpin) != 0; }
    bool Greyed() const { return (flags_ & efGrey) != 0; }
    bool Scaled() const { return scaled_; }
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }
    double Scale() const { return scale_; }
    double SpinStepSize() const { return spinStep_; }
    int Decimals() const { return decimals_; }
    int AverageCount() const { return averageCount_; }
    // The scale while the unit is shown, 1 with the alternate unit.
    double DisplayFactor() const { return scaled_ ? scale_ : 1.0; }
    // 4096, 256 or 65536 for the fixed-point types, else 1.
    int FixedPointMultiplier() const;
    // Width of a one-shot read: 4 for the 32-bit types, else 2.
    int ReadWidth() const;
    const std::string& ValueText() const { return valueText_; }
    const std::string& UnitText() const { return unitText_; }
    const std::string& AlternateUnitText() const { return altUnitText_; }
    // The text of the unit label: the unit, or the alternate unit.
    const std::string& ShownUnitText() const { return scaled_ ? unitText_ : altUnitText_; }
    const std::string& LimitText() const { return limitText_; }

    static constexpr int kEditWidth = 60;

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override;

private:
    std::string FormatLimit(double limit) const;
    void Notice(int code, const std::string* text = nullptr);

    int flags_ = 0;
    double minimum_ = 0;
    double maximum_ = 0;
    double scale_ = 0;
    double spinStep_ = 0;
    int decimals_ = 0;
    int averageCount_ = 0;
    std::vector<std::int32_t> samples_;
    std::int64_t sampleSum_ = 0;
    int sampleSlot_ = 0;
    bool scaled_ = true;
    std::string unitText_;
    std::string altUnitText_;
    std::string limitText_;
    std::string valueText_;
};

// Kind 13: keeps a register value for the setup file, shows nothing.
class CParamControlInfo : public CParamControl {
public:
    using CParamControl::CParamControl;
    void SetValue(std::int32_t v) override { value_ = v; }
    void ParseSetupValue(std::string_view) override {}

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override { PostBind(); }
};

// Kind 9: a tab page, or the dummy page that starts a panel's rows.
class CParamControlPage : public CParamControl {
public:
    using CParamControl::CParamControl;
    int GetHeight() const override { return 0; }
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    bool ShowsVerticalScrollBar() const { return (register_ & 1) != 0; }
    bool ShowsHorizontalScrollBar() const { return (register_ & 2) != 0; }
};

// Kind 3: heading line (style 1) or column break (style 2).
class CParamControlBar : public CParamControl {
public:
    using CParamControl::CParamControl;
    int GetHeight() const override { return 15; }
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    int Style() const { return register_; }
};

// Kind 4: radio group over the field; items at cell 7.
class CParamControlRadioGroup : public CParamControlBits {
public:
    using CParamControlBits::CParamControlBits;
    int GetHeight() const override { return GroupHeight() + 1; }
    void UpdateDisplay() override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;

    // The mouse released over radio button i.
    void ItemReleased(int i);
    int CheckedIndex() const { return checked_; }
    int GroupHeight() const { return items_.Count() * 15 + 21; }
    virtual bool HasModeBox() const { return false; }

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override { PostBind(); }
    // lParam of the change message.
    virtual int ModeFlag() const { return 0; }

    int checked_ = 0;
};

// Kind 5: radio group with the "Change actual mode" check box.
class CParamControlRadioGroup2 : public CParamControlRadioGroup {
public:
    using CParamControlRadioGroup::CParamControlRadioGroup;
    bool HasModeBox() const override { return true; }
    bool ChangeActualMode() const { return changeMode_; }
    void SetChangeActualMode(bool on) { changeMode_ = on; }

protected:
    int ModeFlag() const override { return changeMode_ ? 1 : 0; }

private:
    bool changeMode_ = true;
};

// Kind 6: the item text of the field's value; items at cell 8.
class CParamControlBitView : public CParamControlBits {
public:
    using CParamControlBits::CParamControlBits;
    int GetHeight() const override { return 10; }
    void UpdateDisplay() override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    const std::string& ValueText() const { return text_; }
    int Colour() const { return colour_; }

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override;

private:
    int colour_ = 0;
    std::string text_;
};

// Kind 7: one check box, checked while the field is not 0.
class CParamControlCheckBox : public CParamControlBits {
public:
    using CParamControlBits::CParamControlBits;
    int GetHeight() const override { return 13; }
    void UpdateDisplay() override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    // The check box clicked; checked is its new state.
    void Clicked(bool checked);
    bool Checked() const { return checked_; }

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override { PostBind(); }

private:
    bool checked_ = false;
};

// Kind 8: one label per item, enabled while its bit of the field is 1.
class CParamControlBitList : public CParamControlBits {
public:
    using CParamControlBits::CParamControlBits;
    void UpdateDisplay() override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    bool LabelEnabled(int i) const;
    int Colour() const { return colour_; }

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override;
    // Height of item label i (the widget side measures it).
    virtual int LabelHeight(int) const { return 13; }

private:
    int colour_ = 0;
    std::vector<bool> enabled_;
};

// Kind 10: drop-down list of the items; items at cell 8.
class CParamControlCombo : public CParamControlBits {
public:
    using CParamControlBits::CParamControlBits;
    int GetHeight() const override { return 20; }
    void UpdateDisplay() override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    // The user chose item index.
    void ChoiceMade(int index);
    // The drop-down list closed: show the field again, which may have changed
    // while the list was open.
    void ListClosed();
    int SelectedIndex() const { return selected_; }
    int ListWidth() const { return listWidth_; }

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override { PostBind(); }
    // True while the drop-down list is open (the widget side knows).
    virtual bool ListOpen() const { return false; }

private:
    int listWidth_ = 0;
    int selected_ = 0;
};

// Kind 14: a row of lamps, the leftmost for the highest bit of the field.
class CParamBitLamps : public CParamControlBits {
public:
    using CParamControlBits::CParamControlBits;
    static constexpr int kLampGap = 5;

    void UpdateDisplay() override;
    ParamPoint Arrange(bool visible, ParamPoint p) override;

    bool Clickable() const { return (flags_ & 1) != 0; }
    const LampImageList* ImageList() const { return imageList_; }
    // The window's lamp pictures, for a row that shows them; set before Build.
    void SetImageList(const LampImageList* list) { imageList_ = list; }
    int LampWidth() const { return lampWidth_; }
    int LampHeight() const { return lampHeight_; }
    int LampRowTop() const { return lampRowTop_; }
    int ImageWidth() const { return (lampWidth_ + kLampGap) * bitCount_ - kLampGap; }
    int ImageHeight() const { return lampHeight_ + lampRowTop_; }
    int LampLeft(int i) const { return (lampWidth_ + kLampGap) * i; }
    // The number printed over lamp i (0 = leftmost).
    int LampNumber(int i) const { return bitCount_ - i + numberBase_ - 1; }
    bool LampLit(int i) const;
    // Image index drawn for lamp i: the "on" image, or the next one.
    int LampImageIndex(int i) const { return LampLit(i) ? onImage_ : onImage_ + 1; }
    // Sets the height of the lamp numbers; the lamps sit 2 pixels below them.
    void SetTextHeight(int h);
    // The lamp under (x, y) of the image, or -1.
    int LampAt(int x, int y) const;
    void MouseMoved(int x, int y) { mouseX_ = x; mouseY_ = y; }
    // A click at the last recorded pointer position.
    void Clicked();
    // True when the last UpdateDisplay drew anything.
    bool Redrawn() const { return redrawn_; }

protected:
    void BuildStep(const InitParam* row) override;
    void FinishBuild() override;

private:
    int flags_ = 0;
    const LampImageList* imageList_ = nullptr;
    int onImage_ = 0;
    int numberBase_ = 0;
    int lampWidth_ = 10;
    int lampHeight_ = 10;
    int lampRowTop_ = 15;
    std::optional<std::int32_t> lastDrawn_;
    bool redrawn_ = false;
    int mouseX_ = -1;
    int mouseY_ = -1;
};

}  // namespace quenor
