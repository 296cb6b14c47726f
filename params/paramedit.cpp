// Edit, info, page and bar controls.
#include "params/paramkinds.h"
#include "params/paramvalue.h"
#include "platform/numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quenor {
namespace {

constexpr double kRangeTolerance = 1e-6;

bool Is32BitType(int type)
{
    return type == 2 || type == 5 || type == 6;
}

}  // namespace

// ---------------------------------------------------------------------------
// Edit

void CParamControlEdit::BuildStep(const InitParam* row)
{
    CParamControl::BuildStep(row);
    unitText_ = row[5].text;
    altUnitText_ = row[6].text;
    flags_ = row[7].i;
    minimum_ = row[8].d;
    maximum_ = row[9].d;
    scale_ = row[10].d;
    int cell = 11;
    if (flags_ & efSpin)
        spinStep_ = row[cell++].d;
    decimals_ = row[cell++].i;
    if (flags_ & efAverage) {
        // A count below 1 would divide by zero; it averages over one sample.
        averageCount_ = std::max(1, row[cell].i);
        samples_.assign(static_cast<std::size_t>(averageCount_), 0);
    }
    if (Is32BitType(ValueType()))
        valueMask_ = 0xFFFFFFFFu;
    if (flags_ & efSetupFile)
        inSetupFile_ = true;
}

void CParamControlEdit::FinishBuild()
{
    // A 32-bit register is polled 4 bytes wide, like its one-shot read.
    if (!Editable())
        PostPoll(ReadWidth());
    UpdateDisplay();
    PostBind();
}

int CParamControlEdit::FixedPointMultiplier() const
{
    switch (ValueType()) {
    case 3:
        return 4096;
    case 4:
    case 6:
        return 256;
    case 5:
        return 65536;
    default:
        return 1;
    }
}

int CParamControlEdit::ReadWidth() const
{
    return Is32BitType(ValueType()) ? 4 : 2;
}

void CParamControlEdit::SetValue(std::int32_t v)
{
    if (valueMask_ <= 0xFFFFu)
        value_ = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu));
    else
        value_ = v;
    UpdateDisplay();
}

void CParamControlEdit::UpdateDisplay()
{
    std::int64_t x = value_;
    double f = DisplayFactor();
    if ((flags_ & efAverage) && averageCount_ > 0) {
        const auto slot = static_cast<std::size_t>(sampleSlot_);
        sampleSum_ -= samples_[slot];
        samples_[slot] = value_;
        sampleSlot_ = (sampleSlot_ + 1) % averageCount_;
        sampleSum_ += x;
        // A jump restarts the average at the new value.
        if (std::llabs(sampleSum_ / averageCount_ - x) > 5) {
            std::fill(samples_.begin(), samples_.end(), value_);
            sampleSum_ = x * averageCount_;
        }
        x = sampleSum_;
        f /= averageCount_;
    }
    const double product = static_cast<double>(x) * f;
    double d = static_cast<double>(RoundHalfAway(product));
    if (flags_ & efAbsolute)
        d = std::fabs(d);

    switch (ValueType()) {
    case 1:
    case 2:
        if (decimals_ == 0)
            valueText_ = FormatFloat(d, 0, 0);
        else if (decimals_ == 1)
            valueText_ = FormatFloat(product, 4, 1);
        else if (decimals_ == 2)
            valueText_ = FormatFloat(product, 4, 2);
        break;
    case 3:
        valueText_ = FormatFloat(d / 4096, 4, 4);
        break;
    case 4:
    case 6:
        valueText_ = FormatFloat(d / 256, 4, 4);
        break;
    case 5:
        valueText_ = FormatFloat(d / 65536, 4, 4);
        break;
    default:
        break;
    }
    Refresh();
}

void CParamControlEdit::SetDisplayMode(double scale)
{
    scale_ = scale;
    UpdateDisplay();
}

std::string CParamControlEdit::FormatLimit(double limit) const
{
    const int type = ValueType();
    return FormatFloat(limit, 0, (type == 3 || type == 5) ? 4 : 1);
}

void CParamControlEdit::Notice(int code, const std::string* text)
{
    if (text)
        PostText(target_, UM_PARAMERROR, code, 0, *text);
    else
        Post(UM_PARAMERROR, code, 0);
}

bool CParamControlEdit::EnterPressed(std::string_view text)
{
    const auto typed = ParseDouble(text);  // '.' only; nan and inf are refused
    if (!typed) {
        Notice(kNoticeInvalidNumber);
        return false;
    }
    const double f = DisplayFactor();
    const double lo = minimum_ * f;
    const double hi = maximum_ * f;
    double v = *typed;
    const bool below = v < lo && !(std::fabs(v - lo) < kRangeTolerance);
    const bool above = !below && v > hi && !(std::fabs(v - hi) < kRangeTolerance);
    if (above) {
        limitText_ = FormatLimit(hi);
        Notice(kNoticeAboveMaximum, &limitText_);
        return false;
    }
    if (below)
        v = lo;  // below the minimum the minimum is written

    const int m = FixedPointMultiplier();
    const std::int64_t raw = RoundHalfAway(v * m / f);
    // A raw value that does not fit the register's 32 bits is out of range;
    // the limit shown is the nearer of the table's and the register's.
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    if (raw > kMax || raw < kMin) {
        const bool high = raw > kMax;
        double limit = (high ? static_cast<double>(kMax) : static_cast<double>(kMin)) * f / m;
        if (high && hi < limit)
            limit = hi;
        if (!high && lo > limit)
            limit = lo;
        limitText_ = FormatLimit(limit);
        Notice(high ? kNoticeAboveMaximum : kNoticeBelowMinimum, &limitText_);
        return false;
    }
    // Zero is refused by what would be written, after rounding.
    if ((flags_ & efNonZero) && raw == 0) {
        Notice(kNoticeZero);
        return false;
    }
    if (below) {
        limitText_ = FormatLimit(lo);
        Notice(kNoticeBelowMinimum, &limitText_);
    } else {
        Notice(kNoticeAccepted);
    }
    value_ = static_cast<std::int32_t>(raw);
    changed_ = true;
    Post(UM_CONTROLCHANGED, register_, 0);
    return true;
}

void CParamControlEdit::SpinStep(bool up)
{
    const double s = scale_;
    const double t = spinStep_;
    if (s == 0 || t == 0 || !std::isfinite(s) || !std::isfinite(t))
        return;
    const std::int64_t k = RoundStep(value_ * s / t);
    std::int64_t v = up ? RoundHalfAway(static_cast<double>(k + 1) * t / s + 0.49)
                        : RoundHalfAway(static_cast<double>(k - 1) * t / s - 0.49);
    const int m = FixedPointMultiplier();
    if (static_cast<double>(v) > maximum_ * m)
        v = TruncateToInt64(maximum_ * m);
    if (static_cast<double>(v) < minimum_ * m)
        v = TruncateToInt64(minimum_ * m);
    v = std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
    value_ = static_cast<std::int32_t>(v);
    Post(UM_CONTROLCHANGED, register_, 0);
}

void CParamControlEdit::LabelClicked() const
{
    PostReadOnce(ReadWidth());
}

bool CParamControlEdit::UnitClicked()
{
    if (altUnitText_.empty())
        return false;
    scaled_ = !scaled_;
    UpdateDisplay();
    return true;
}

CParamControlEdit::Layout CParamControlEdit::LayoutAt(ParamPoint p) const
{
    Layout l;
    l.caption = p;
    l.valueRight = p.x + (HasSpin() ? 135 : 150);
    l.spin = {p.x + 140, p.y - 3};
    l.edit = {p.x + 155, p.y - 3};
    l.unit = {Editable() ? p.x + 145 + kEditWidth + 15 : p.x + 155, p.y};
    l.height = Editable() ? 20 : 10;
    return l;
}

ParamPoint CParamControlEdit::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    height_ = LayoutAt(p).height;
    return {p.x, p.y + height_};
}

// ---------------------------------------------------------------------------
// Info, page, bar

void CParamControlInfo::BuildStep(const InitParam* row)
{
    CParamControl::BuildStep(row);
    if (Is32BitType(row[5].i & efTypeMask))
        valueMask_ = 0xFFFFFFFFu;
    inSetupFile_ = true;
}

ParamPoint CParamControlPage::Arrange(bool visible, ParamPoint)
{
    visible_ = visible;
    return {5, -1};
}

ParamPoint CParamControlBar::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    switch (Style()) {
    case 1:
        return {p.x, p.y + 12};
    case 2:
        return {p.x + 275, -1};
    default:
        return p;
    }
}

}  // namespace quenor
