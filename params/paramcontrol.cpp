#include "params/paramcontrol.h"

#include <algorithm>

#include "params/paramvalue.h"
#include "resources/stringtable.h"

#include <cstdint>

namespace quenor {

CParamControl::CParamControl(MessageTarget* target, const InitParam* row)
    : kind_(row[0].i),
      caption_(row[2].text),
      register_(row[3].i),
      visibilityMask_(row[1].i),
      hintBase_(row[4].i),
      target_(target)
{
}

CParamControl::~CParamControl() = default;

void CParamControl::Build(const InitParam* row)
{
    BuildStep(row);
    CreateVisuals();
    FinishBuild();
}

void CParamControl::BuildStep(const InitParam*) {}

void CParamControl::SetValue(std::int32_t) {}

std::int32_t CParamControl::GetValue() const
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value_) & valueMask_);
}

std::string CParamControl::GetSetupLine() const
{
    if (!inSetupFile_)
        return {};
    return SetupLine(caption_, value_);
}

void CParamControl::ParseSetupValue(std::string_view text)
{
    value_ = ParseSetupInteger(text);
    changed_ = true;
}

bool CParamControl::SetupValueFits(std::int32_t v) const
{
    // The register's width follows the mask: a value fits signed or unsigned.
    if (valueMask_ == 0xFFFFFFFFu)
        return true;
    const std::int64_t top = static_cast<std::int64_t>(valueMask_);
    return v >= -(top + 1) / 2 && v <= top;
}

void CParamControl::SetDisplayMode(double) {}

ParamPoint CParamControl::Arrange(bool visible, ParamPoint p)
{
    visible_ = visible;
    return p;
}

bool CParamControl::TestAndClearChanged()
{
    const bool was = changed_;
    changed_ = false;
    return was;
}

std::string CParamControl::HintText(int index) const
{
    const std::int64_t id = static_cast<std::int64_t>(hintBase_) + index;
    if (id == 0 || id < INT32_MIN || id > INT32_MAX)
        return {};
    return LoadStr(static_cast<int>(id));
}

void CParamControl::Post(int msg, std::int64_t wParam, std::int64_t lParam) const
{
    PostMessage(target_, msg, wParam, lParam);
}

void CParamControl::PostBind() const
{
    Post(UM_BINDCONTROL, register_, static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(this)));
}

void CParamControl::PostPoll(int width) const
{
    Post(UM_ADDPOLL, (static_cast<std::int64_t>(width) << 16) + register_, 0);
}

void CParamControl::PostReadOnce(int width) const
{
    Post(UM_READREGISTER, register_, width);
}

// ---------------------------------------------------------------------------

void ParamItemList::Add(std::int32_t value, std::string text)
{
    if (Count() >= kCapacity)
        throw std::length_error("List capacity out of bounds (" + std::to_string(Count() + 1) + ")");
    values_.push_back(value);
    texts_.push_back(std::move(text));
}

std::int32_t ParamItemList::ValueAt(int i) const
{
    if (values_.empty())
        return 0;
    if (i < 0 || i >= Count())
        return values_.front();
    return values_[static_cast<std::size_t>(i)];
}

int ParamItemList::IndexOfValue(std::int32_t v) const
{
    return std::max(FindValue(v), 0);
}

int ParamItemList::FindValue(std::int32_t v) const
{
    for (int i = 0; i < Count(); ++i)
        if (values_[static_cast<std::size_t>(i)] == v)
            return i;
    return -1;
}

const std::string& ParamItemList::TextAt(int i) const
{
    static const std::string empty;
    if (i < 0 || i >= Count())
        return empty;
    return texts_[static_cast<std::size_t>(i)];
}

// ---------------------------------------------------------------------------

void CParamControlBits::BuildStep(const InitParam* row)
{
    CParamControl::BuildStep(row);
    firstBit_ = row[5].i;
    bitCount_ = row[6].i;
    valueMask_ = BitFieldMask(firstBit_, bitCount_);
}

void CParamControlBits::ReadItems(const InitParam* row, int cell)
{
    const int n = row[cell].i;
    if (n < 0 || cell + 2 * n >= kCellsPerRow)
        throw std::out_of_range("Item list of \"" + caption_ + "\" runs past the end of its row");
    for (int i = 0; i < n; ++i)
        items_.Add(row[cell + 1 + 2 * i].i, row[cell + 2 + 2 * i].text);
}

void CParamControlBits::SetField(std::int32_t v)
{
    value_ = static_cast<std::int32_t>(ShiftLeft(static_cast<std::uint32_t>(v), firstBit_));
}

std::int32_t CParamControlBits::GetField() const
{
    return static_cast<std::int32_t>(ShiftRight(static_cast<std::uint32_t>(value_) & valueMask_, firstBit_));
}

void CParamControlBits::SetValue(std::int32_t v)
{
    const auto old = static_cast<std::uint32_t>(value_);
    value_ = static_cast<std::int32_t>((old & ~valueMask_) | (static_cast<std::uint32_t>(v) & valueMask_));
    UpdateDisplay();
}

std::string CParamControlBits::GetSetupLine() const
{
    if (!inSetupFile_)
        return {};
    return SetupLine(caption_, GetField());
}

void CParamControlBits::ParseSetupValue(std::string_view text)
{
    SetField(ParseSetupInteger(text));
}

bool CParamControlBits::SetupValueFits(std::int32_t v) const
{
    if (bitCount_ <= 0 || bitCount_ >= 32)
        return bitCount_ >= 32;
    return v >= 0 && static_cast<std::int64_t>(v) < (std::int64_t{1} << bitCount_);
}

}  // namespace quenor
