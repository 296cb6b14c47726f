#pragma once
// The parameter controls: one object per table row, holding the value of its
// register (or of its bit field), turning user input into posted messages to
// the main window, and writing and reading its setup-file line.
//
// The classes here hold all of the value logic and no widgets; the widget side
// (params/ui) derives from them, creates the visual controls in CreateVisuals,
// shows the state in Refresh and places the widgets in Arrange. Without the
// widget side the objects work headless, which is how the tests reach them.
//
// Life of a control: construct with (target, row), then Build(row) once (the
// factories do both). Build posts the poll and bind messages of the kind.

#include "params/initparam.h"
#include "platform/messages.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quenor {

struct ParamPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ParamPoint&, const ParamPoint&) = default;
};

// A setup-file value that is not a 32-bit decimal integer.
class SetupValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CParamControl {
public:
    CParamControl(MessageTarget* target, const InitParam* row);
    virtual ~CParamControl();
    CParamControl(const CParamControl&) = delete;
    CParamControl& operator=(const CParamControl&) = delete;

    // Runs the build step of every class level on the row, then the widget
    // side's CreateVisuals, then the closing display and posts of the kind.
    void Build(const InitParam* row);

    virtual int GetHeight() const { return height_; }
    virtual void UpdateDisplay() {}
    virtual void SetValue(std::int32_t v);
    // value AND value mask.
    std::int32_t GetValue() const;
    // The setup-file line, or the empty text when the control writes none.
    virtual std::string GetSetupLine() const;
    // Takes the value of a setup-file line; throws SetupValueError on a text
    // that is not a decimal integer.
    virtual void ParseSetupValue(std::string_view text);
    // True when a setup-file value fits the register or field as it stands:
    // a 16-bit register takes -32768..65535, a bit field 0..2^count-1.
    virtual bool SetupValueFits(std::int32_t v) const;
    virtual void SetDisplayMode(double scale);
    // Shows or hides the control at p and returns where the next one goes.
    virtual ParamPoint Arrange(bool visible, ParamPoint p);
    bool TestAndClearChanged();

    int Kind() const { return kind_; }
    const std::string& Caption() const { return caption_; }
    int Register() const { return register_; }
    std::int32_t Value() const { return value_; }
    int VisibilityMask() const { return visibilityMask_; }
    std::uint32_t ValueMask() const { return valueMask_; }
    int HintBase() const { return hintBase_; }
    bool Changed() const { return changed_; }
    bool InSetupFile() const { return inSetupFile_; }
    bool Visible() const { return visible_; }
    MessageTarget* Target() const { return target_; }

    // The hint of sub-control index i: the string resource hint base + i, or
    // the empty text when that sum is 0 or has no text.
    std::string HintText(int index) const;

protected:
    // Reads this level's cells; an override first calls its base's step.
    virtual void BuildStep(const InitParam* row);
    // Creates the visual controls (widget side only).
    virtual void CreateVisuals() {}
    // The kind's closing step: poll, first display, bind.
    virtual void FinishBuild() {}
    // Shows the current state in the visual controls (widget side only).
    virtual void Refresh() {}

    void Post(int msg, std::int64_t wParam, std::int64_t lParam) const;
    void PostBind() const;
    void PostPoll(int width) const;
    void PostReadOnce(int width) const;

    int kind_ = 0;
    std::string caption_;
    int register_ = 0;
    std::int32_t value_ = 0;
    int height_ = 0;
    int visibilityMask_ = 0;
    std::uint32_t valueMask_ = 0xFFFF;
    int hintBase_ = 0;
    bool changed_ = false;
    MessageTarget* target_ = nullptr;
    bool inSetupFile_ = false;
    bool visible_ = false;
};

// Item list of a bit control: (value, text) pairs in row order, at most 30.
class ParamItemList {
public:
    static constexpr int kCapacity = 30;
    // Throws std::length_error on a 31st item.
    void Add(std::int32_t value, std::string text);
    int Count() const { return static_cast<int>(values_.size()); }
    // Value of item i; the first item's value (0 without items) when i is outside.
    std::int32_t ValueAt(int i) const;
    // Index of the first item with value v; 0 when none has it.
    int IndexOfValue(std::int32_t v) const;
    // Index of the first item with value v; -1 when none has it.
    int FindValue(std::int32_t v) const;
    // Text of item i; the empty text when i is outside.
    const std::string& TextAt(int i) const;

private:
    std::vector<std::int32_t> values_;
    std::vector<std::string> texts_;
};

// Base of the bit-field kinds: first bit (cell 5) and bit count (cell 6).
class CParamControlBits : public CParamControl {
public:
    using CParamControl::CParamControl;

    void SetValue(std::int32_t v) override;
    std::string GetSetupLine() const override;
    void ParseSetupValue(std::string_view text) override;
    bool SetupValueFits(std::int32_t v) const override;

    // value := v shifted to the first bit (the other bits become 0).
    void SetField(std::int32_t v);
    // (value AND value mask) shifted down from the first bit.
    std::int32_t GetField() const;

    int FirstBit() const { return firstBit_; }
    int BitCount() const { return bitCount_; }
    const ParamItemList& Items() const { return items_; }

protected:
    void BuildStep(const InitParam* row) override;
    // Reads the item count at cell and the (value, text) pairs after it.
    // Throws std::out_of_range when the items run past the end of the row.
    void ReadItems(const InitParam* row, int cell);
    // Poll width of the field: 4 when the mask reaches above bit 15, else 2.
    int FieldWidth() const { return valueMask_ > 0xFFFFu ? 4 : 2; }

    int firstBit_ = 0;
    int bitCount_ = 0;
    ParamItemList items_;
};

}  // namespace quenor
