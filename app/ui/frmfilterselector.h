#pragma once
// The filter selector form: a tool window on top of CFilterSelector. It shows
// the choices, forwards the user's clicks and asks its questions through a
// FilterSelectorUi (message boxes unless another one is given).
//
// The main window gives it the target of its posts (SetTarget), the motor
// type, the mode and the module's run state, and hands it the filter choice
// register's value (HandleMessage with UM_FILTERCHOICE, or ShowFilter).

#include "app/filterselector.h"
#include "app/ui/pngimages.h"
#include "platform/qtmessagetarget.h"

#include <QDialog>
#include <QImage>
#include <QSlider>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quenor {

// The folders searched for the table files: the program's own folder, then
// the per-user data folder.
std::vector<std::string> DefaultFilterTableDirs();

// The 5 x 5 button picture: cells not offered are covered by the picture's
// disabled look; a released click is reported with its position.
class FilterGridPicture : public QWidget {
    Q_OBJECT
public:
    explicit FilterGridPicture(QWidget* parent = nullptr);
    void SetPictures(const QImage& normal, const QImage& disabled);
    void SetOffered(const std::array<bool, kGridSize * kGridSize>& offered);
    bool Offered(int column, int row) const { return offered_[static_cast<std::size_t>(row * kGridSize + column)]; }
    // The picture as drawn now (for checks of what is covered).
    QImage Rendered() const;

    std::function<void(int x, int y)> onMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Paint(QPainter& p) const;
    QImage normal_;
    QImage disabled_;
    std::array<bool, kGridSize * kGridSize> offered_{};
};

// A track bar with ticks at chosen positions.
class TickedSlider : public QSlider {
    Q_OBJECT
public:
    explicit TickedSlider(QWidget* parent = nullptr);
    void SetTicks(std::vector<int> ticks);
    const std::vector<int>& Ticks() const { return ticks_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> ticks_;
};

class TformFilterSelector : public QDialog, public FilterSelectorPort {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 248;
    static constexpr int kClientWidthHelp = 451;

    // Loads the tables from dirs; ui answers the questions (message boxes when null).
    explicit TformFilterSelector(QWidget* parent = nullptr,
                                 const std::vector<std::string>& tableDirs = DefaultFilterTableDirs(),
                                 FilterSelectorUi* ui = nullptr);
    ~TformFilterSelector() override;

    // Entry points for the main window.
    void SetTarget(MessageTarget* target) { logic_.SetTarget(target); }
    void SetMotorType(int index, int modelNumber, bool newFilter) override;
    void SetUnknownMotorType(std::int64_t reportedCode) override;
    void SetMode(int mode) override { logic_.SetMode(mode); }
    void SetProgramRunning(bool running) override { logic_.SetProgramRunning(running); }
    // UM_FILTERCHOICE shows the filter in wParam; everything else is ignored.
    void HandleMessage(const Message& m);
    void ShowFilter(std::uint32_t value);
    // A target for posting to the form (UM_FILTERCHOICE): delivered later on
    // the GUI thread to HandleMessage.
    MessageTarget* Inbox() const override;

    CFilterSelector& Logic() { return logic_; }

    // The controls, for the main window's tests and for checks.
    FilterGridPicture* Grid() const { return imBigvekButtons_; }
    QLabel* Marker() const { return imMarker_; }
    QLabel* IdLabel() const { return lblBVF_; }
    QLabel* DegreeLabel() const { return lblCompDegree_; }
    QLabel* MotorTypeLabel() const { return lblMotorType_; }
    QLabel* VersionLabel() const { return lblFilterVersion_; }
    QGroupBox* CurrentFilterGroup() const { return rgCurrentFilter_; }
    QLabel* UnknownTypeLabel() const { return lblUnknownType_; }
    QRadioButton* CurrentFilterButton(int i) const { return currentButtons_[static_cast<std::size_t>(i)]; }
    QRadioButton* DampingButton(int i) const { return dampButtons_[static_cast<std::size_t>(i)]; }
    QRadioButton* FeedForwardButton(int i) const { return gradeButtons_[static_cast<std::size_t>(i)]; }
    TickedSlider* DegreeBar() const { return tbDegree_; }
    QPushButton* LoadButton() const { return btnLoadFilter_; }
    QPushButton* SelectButton() const { return btnSelFilter_; }
    QPushButton* HelpButton() const { return btnHelp_; }
    QPushButton* CloseButton() const { return btnClose_; }
    QLabel* HelpPanel() const { return helpPanel_; }
    // Picture indexes shown now (0: nothing chosen).
    int HardnessImage() const;
    int SpeedImage() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void LoadPictures();
    // Shows the logic's state in every control.
    void Sync();
    void btnLoadFilterClick();
    void btnSelFilterClick();
    void btnHelpClick();
    void imBigvekButtonsMouseUp(int x, int y);

    CFilterSelector logic_;
    std::unique_ptr<QtMessageTarget> inbox_;
    std::unique_ptr<FilterSelectorUi> ownUi_;
    FilterSelectorUi* ui_;
    bool loadErrorShown_ = false;
    bool syncing_ = false;
    bool helpOpen_ = false;

    ImageList ilHardness_{137, 16};
    ImageList ilSpeed_{16, 125};

    QLabel* lblMotorType_ = nullptr;
    QLabel* lblFilterVersion_ = nullptr;
    QGroupBox* rgCurrentFilter_ = nullptr;
    QLabel* lblUnknownType_ = nullptr;  // in the current filter's place while the type is unknown
    std::array<QRadioButton*, 3> currentButtons_{};
    QButtonGroup* currentGroup_ = nullptr;
    QLabel* imHardness_ = nullptr;
    QLabel* imSpeed_ = nullptr;
    FilterGridPicture* imBigvekButtons_ = nullptr;
    QLabel* imMarker_ = nullptr;
    QGroupBox* gbDamping_ = nullptr;
    std::array<QRadioButton*, kButtonCount> dampButtons_{};
    QButtonGroup* dampGroup_ = nullptr;
    QGroupBox* groupBox3_ = nullptr;
    std::array<QRadioButton*, kButtonCount> gradeButtons_{};
    QButtonGroup* gradeGroup_ = nullptr;
    TickedSlider* tbDegree_ = nullptr;
    QLabel* lblCompDegree_ = nullptr;
    QLabel* lblBVF_ = nullptr;
    QPushButton* btnSelFilter_ = nullptr;
    QPushButton* btnLoadFilter_ = nullptr;
    QPushButton* btnHelp_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    QLabel* helpPanel_ = nullptr;
};

}  // namespace quenor
