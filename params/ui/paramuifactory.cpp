#include "params/ui/paramuifactory.h"

#include "params/ui/lampimagelist.h"
#include "params/ui/paramuicontrols.h"

#include <type_traits>

namespace quenor {
namespace {

template <class T>
std::unique_ptr<CParamControl> Make(QWidget* parent, MessageTarget* target, const InitParam* row,
                                    const LampImageList* lamps = nullptr)
{
    auto control = std::make_unique<T>(parent, target, row);
    if constexpr (std::is_base_of_v<CParamBitLamps, T>)
        control->SetImageList(lamps ? lamps : &DefaultLampImageList());
    control->Build(row);
    return control;
}

}  // namespace

std::unique_ptr<CParamControl> CreateParamControlWidget(QWidget* parent, MessageTarget* target,
                                                        const InitParam* row, const LampImageList* lamps)
{
    switch (row[0].i) {
    case pckEdit:
        return Make<EditControlUi>(parent, target, row);
    case pckBar:
        return Make<BarControlUi>(parent, target, row);
    case pckRadioGroup:
        return Make<RadioGroupUi>(parent, target, row);
    case pckRadioGroupMode:
        return Make<RadioGroup2Ui>(parent, target, row);
    case pckBitView:
        return Make<BitViewUi>(parent, target, row);
    case pckCheckBox:
        return Make<CheckBoxUi>(parent, target, row);
    case pckBitList:
        return Make<BitListUi>(parent, target, row);
    case pckPage:
        return Make<PageControlUi>(parent, target, row);
    case pckCombo:
        return Make<ComboUi>(parent, target, row);
    case pckInfo:
        return Make<InfoControlUi>(parent, target, row);
    case pckBitLamps:
        return Make<BitLampsUi>(parent, target, row, lamps);
    default:
        return nullptr;
    }
}

QWidget* ParamPageContainer(const CParamControl* c)
{
    const auto* page = dynamic_cast<const PageControlUi*>(c);
    return page ? page->Container() : nullptr;
}

void BuildParameterPages(QWidget* parent, MessageTarget* target, const ParamTable& table,
                         std::vector<std::unique_ptr<CParamControl>>& controls, const LampImageList* lamps)
{
    if (static_cast<std::size_t>(table.RowCount()) + controls.size() + 1 > kMaxParamControls)
        throw std::length_error("Too many controls!!");
    QWidget* container = parent;
    for (int r = 0; r < table.RowCount(); ++r) {
        const InitParam* row = table.Row(r);
        auto c = CreateParamControlWidget(row[0].i == pckPage ? parent : container, target, row, lamps);
        if (!c)
            continue;
        if (QWidget* w = ParamPageContainer(c.get()))
            container = w;
        controls.push_back(std::move(c));
    }
}

}  // namespace quenor
