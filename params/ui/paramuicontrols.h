#pragma once
// The widget side of the parameter controls. Each class derives from its kind's
// value logic, creates the kind's widgets on the parent in CreateVisuals, shows
// the logic's state in Refresh and places the widgets in Arrange. The widgets
// are deleted with the control (or earlier with their parent).

#include "params/paramkinds.h"
#include "params/ui/pagefont.h"
#include "params/ui/paramwidgets.h"

#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <vector>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace quenor {

// A hint text for a tool tip (line ends become plain line breaks).
QString HintToQString(const std::string& hint);

template <class Logic>
class UiControl : public Logic {
public:
    UiControl(QWidget* parent, MessageTarget* target, const InitParam* row) : Logic(target, row), parent_(parent) {}
    ~UiControl() override
    {
        for (auto& w : widgets_)
            delete w.data();  // null when its parent went first
    }
    QWidget* Parent() const { return parent_; }

protected:
    // Records a visual control of this object, gives it the page font and the
    // hint of index hintIndex (none when negative). It stays hidden until arranged.
    template <class W>
    W* Add(W* w, int hintIndex)
    {
        widgets_.emplace_back(w);
        w->setFont(ParamPageFont());
        SetHint(w, hintIndex);
        w->hide();
        return w;
    }
    void SetHint(QWidget* w, int hintIndex) const
    {
        if (hintIndex < 0)
            return;
        const std::string hint = this->HintText(hintIndex);
        if (!hint.empty())
            w->setToolTip(HintToQString(hint));
    }

    QWidget* parent_;
    std::vector<QPointer<QWidget>> widgets_;
};

class EditControlUi : public UiControl<CParamControlEdit> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    ClickLabel* CaptionLabel() const { return captionLabel_; }
    ClickLabel* ValueLabel() const { return valueLabel_; }
    ClickLabel* UnitLabel() const { return unit_; }
    QLineEdit* EditField() const { return edit_; }
    SpinButtons* Spin() const { return spin_; }

protected:
    void CreateVisuals() override;
    void Refresh() override;

private:
    void PlaceValueLabel();
    int UnitRoom() const;
    ClickLabel* captionLabel_ = nullptr;
    ClickLabel* valueLabel_ = nullptr;
    ClickLabel* unit_ = nullptr;
    QLineEdit* edit_ = nullptr;
    SpinButtons* spin_ = nullptr;
    int valueRight_ = 150;
    int valueTop_ = 0;
};

class InfoControlUi : public UiControl<CParamControlInfo> {
public:
    using UiControl::UiControl;
};

class PageControlUi : public UiControl<CParamControlPage> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    // Where the following rows go: the scroll area's content, or the parent
    // when the parent is not a tab widget (the dummy page of a panel).
    QWidget* Container() const;
    bool NoTab() const { return tabSheet_ == nullptr; }
    QWidget* TabSheet() const { return tabSheet_; }
    QScrollArea* ScrollBox() const { return scroll_; }

protected:
    void CreateVisuals() override;

private:
    QPointer<QWidget> tabSheet_;
    QPointer<QScrollArea> scroll_;
    QPointer<QWidget> content_;
};

class BarControlUi : public UiControl<CParamControlBar> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    QFrame* FirstBevel() const { return bevel1_; }
    QFrame* SecondBevel() const { return bevel2_; }
    QLabel* CaptionLabel() const { return captionLabel_; }

protected:
    void CreateVisuals() override;

private:
    QFrame* bevel1_ = nullptr;
    QLabel* captionLabel_ = nullptr;
    QFrame* bevel2_ = nullptr;
};

// Kinds 4 and 5.
template <class Logic>
class RadioGroupUiT : public UiControl<Logic> {
public:
    using UiControl<Logic>::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    QGroupBox* GroupBox() const { return box_; }
    QRadioButton* Button(int i) const;
    QCheckBox* ModeBox() const { return modeBox_; }

protected:
    void CreateVisuals() override;
    void Refresh() override;

private:
    QGroupBox* box_ = nullptr;
    std::vector<QRadioButton*> buttons_;
    QCheckBox* modeBox_ = nullptr;
};
using RadioGroupUi = RadioGroupUiT<CParamControlRadioGroup>;
using RadioGroup2Ui = RadioGroupUiT<CParamControlRadioGroup2>;

class BitViewUi : public UiControl<CParamControlBitView> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    QLabel* CaptionLabel() const { return captionLabel_; }
    QLabel* ValueLabel() const { return value_; }

protected:
    void CreateVisuals() override;
    void Refresh() override;

private:
    QLabel* captionLabel_ = nullptr;
    QLabel* value_ = nullptr;
};

class CheckBoxUi : public UiControl<CParamControlCheckBox> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    QCheckBox* Box() const { return box_; }

protected:
    void CreateVisuals() override;
    void Refresh() override;

private:
    QCheckBox* box_ = nullptr;
};

class BitListUi : public UiControl<CParamControlBitList> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    QLabel* Label(int i) const;

protected:
    void CreateVisuals() override;
    void Refresh() override;
    int LabelHeight(int i) const override;

private:
    std::vector<QLabel*> labels_;
};

class ComboUi : public UiControl<CParamControlCombo> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    QLabel* CaptionLabel() const { return captionLabel_; }
    ParamComboBox* Combo() const { return combo_; }

protected:
    void CreateVisuals() override;
    void Refresh() override;
    bool ListOpen() const override;

private:
    QLabel* captionLabel_ = nullptr;
    ParamComboBox* combo_ = nullptr;
};

class BitLampsUi : public UiControl<CParamBitLamps> {
public:
    using UiControl::UiControl;
    ParamPoint Arrange(bool visible, ParamPoint p) override;
    LampView* View() const { return view_; }

protected:
    void CreateVisuals() override;
    void Refresh() override;

private:
    LampView* view_ = nullptr;
};

}  // namespace quenor
