#include "params/paramfactory.h"

#include "params/paramkinds.h"

namespace quenor {

bool KindCreatesControl(int kind)
{
    switch (kind) {
    case pckEdit:
    case pckBar:
    case pckRadioGroup:
    case pckRadioGroupMode:
    case pckBitView:
    case pckCheckBox:
    case pckBitList:
    case pckPage:
    case pckCombo:
    case pckInfo:
    case pckBitLamps:
        return true;
    default:
        return false;
    }
}

namespace {

template <class T>
std::unique_ptr<CParamControl> Make(MessageTarget* target, const InitParam* row)
{
    auto control = std::make_unique<T>(target, row);
    control->Build(row);
    return control;
}

}  // namespace

std::unique_ptr<CParamControl> CreateParamControl(MessageTarget* target, const InitParam* row)
{
    switch (row[0].i) {
    case pckEdit:
        return Make<CParamControlEdit>(target, row);
    case pckBar:
        return Make<CParamControlBar>(target, row);
    case pckRadioGroup:
        return Make<CParamControlRadioGroup>(target, row);
    case pckRadioGroupMode:
        return Make<CParamControlRadioGroup2>(target, row);
    case pckBitView:
        return Make<CParamControlBitView>(target, row);
    case pckCheckBox:
        return Make<CParamControlCheckBox>(target, row);
    case pckBitList:
        return Make<CParamControlBitList>(target, row);
    case pckPage:
        return Make<CParamControlPage>(target, row);
    case pckCombo:
        return Make<CParamControlCombo>(target, row);
    case pckInfo:
        return Make<CParamControlInfo>(target, row);
    case pckBitLamps:
        return Make<CParamBitLamps>(target, row);
    default:
        return nullptr;
    }
}

bool KindTakesSetupLine(int kind, int editFlags)
{
    switch (kind) {
    case pckEdit:
        return (editFlags & efEditable) != 0;
    case pckRadioGroup:
    case pckRadioGroupMode:
    case pckCheckBox:
    case pckCombo:
        return true;
    default:
        return false;
    }
}

}  // namespace quenor
