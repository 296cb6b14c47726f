#pragma once
// The program editor's form: the listing of the program document as rows of
// 24 pixels (command icon, line number, description), the jump-line gutter on
// its left, the scroll bar on its right and above them the run-control bar's
// place (TopPanel). Without a program it shows the new-program panel, for a
// program known only as module code the size of that code.
//
// The form shows the document the main window owns; the command dialogs come
// in through VizuCommandDialogs, the palette is the form's own unless one is
// handed in.

#include "program/runcontrol.h"
#include "program/vizueditor.h"
#include "program/vizuware.h"

#include <QCursor>
#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace quenor {

class TVizuWareSelectCommand;

class TVizuWare : public QWidget, private VizuEditorView {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 100;
    // The top panel's height; a run-control bar placed on it by a layout may
    // ask for more on a narrow form (heightForWidth).
    static constexpr int kTopPanelHeight = 33;

    // palette: the palette to choose commands from; nullptr for the form's own.
    TVizuWare(CVizuWareDocument& document, VizuCommandDialogs& dialogs, VizuCommandPalette* palette = nullptr,
              QWidget* parent = nullptr);
    ~TVizuWare() override;

    // The owner's callback: code 8 tells whether a program is present (data 0 or 1).
    std::function<void(int code, int data)> onCommand;
    // "Upload from module" on the new-program panel.
    std::function<void()> onUpload;

    // Lays the form out for the program type and redraws the listing.
    void FormResize();
    // Refreshes the gutter, every row and the debug pointer; re-lays the form
    // out once when the gutter needs another width.
    void RedrawListing() override;

    // The motor kind changed (2 is the stepper kind): the new-program panel
    // offers what that kind can run.
    void SetModuleType(int kind);
    // The program counter the module reported last; moves the debug pointer.
    void SetProgramCounter(std::uint32_t programCounter);
    // After a module status: the pointer hidden, above the rows (the module
    // holds another program) or beside the running line, scrolled into view.
    void ShowDebugPointer(DebugPointerPlace place, std::uint32_t programCounter);
    // The document's program was replaced (new, loaded or uploaded).
    void ProgramChanged();

    bool IsAbsRelProgram() const;
    // Index 0..99 of a row icon, -1 for any other object.
    int RowIndexOf(const QObject* control) const;

    CVizuEditor& Editor() { return *editor_; }
    TVizuWareSelectCommand& SelectCommand() { return *selectCommand_; }

    // The parts of the form.
    QWidget* TopPanel() const { return topPanel_; }
    // The top panel's height at the form's width.
    int TopPanelHeight() const;
    QWidget* ClientPanel() const { return clientPanel_; }
    QScrollBar* ScrollBar() const { return scrollBar_; }
    QWidget* LineArea() const { return lineArea_; }
    QWidget* NewProgramPanel() const { return newProgram_; }
    QLabel* BinInfoLabel() const { return binInfoLabel_; }
    QLabel* DebugPointer() const { return debugPointer_; }
    QMenu* PopupMenu() const { return popupMenu_; }
    QGroupBox* ProgramTypeGroupBox() const { return programTypeGroupBox_; }
    QPushButton* RelAbsBtn() const { return relAbsBtn_; }
    QPushButton* EndlessRelativeBtn() const { return endlessRelativeBtn_; }
    QLabel* RelAbsLabel() const { return relAbsLabel_; }

    enum MenuItem { kInsert, kEdit, kReplace, kClear, kRemove, kEditJump, kSeparator, kCut, kCopy, kPaste, kMenuItems };
    QAction* MenuAction(MenuItem item) const { return actions_[item]; }

    int RowCount() const { return rowCount_; }
    QToolButton* RowIcon(int row) const;
    QLabel* RowNumber(int row) const;
    QLabel* RowText(int row) const;
    std::uint32_t TopLine() const { return topLine_; }
    std::uint32_t CurrentLine() const { return currentLine_; }
    int GutterWidthPixels() const { return gutterWidth_; }
    // The gutter as last drawn.
    const QImage& GutterImage() const { return gutter_; }
    // How often the listing was drawn.
    int ListingRedraws() const { return redraws_; }

    // The popup menu's preparation for a row: current line and enabling.
    void PopupMenuPopup(int row);

    // Menu commands on the current line.
    void InsertClick();
    void EditClick();
    void ReplaceClick();
    void ClearClick();
    void RemoveClick();
    void EditJumpClick();

    void RelAbsBtnClick();
    void EndlessRelBtnClick();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        QToolButton* icon = nullptr;
        QLabel* number = nullptr;
        QLabel* text = nullptr;
        int shownId = -1;  // command whose glyph the icon shows, -1 none
    };

    void UpdateLine(std::uint16_t line) override;
    void ApplyJumpCursor(bool on) override;
    void Message(const std::string& text) override;

    void BuildNewProgramPanel();
    void LayoutNewProgramPanel();
    void CreateRow(int i);
    void PlaceRow(int i);
    void FreeRow(int i);
    void RefreshRow(int i);
    void DrawGutter();
    void PlaceDebugPointer();
    void ScrollTo(int position);
    void SetProgramType(std::uint8_t type);
    int RowOfLabel(const QObject* control) const;
    bool CurrentLine(std::uint16_t& line) const;
    int TextWidth() const;
    CGraphicProgram& Program() { return document_.Program(); }

    CVizuWareDocument& document_;
    std::unique_ptr<TVizuWareSelectCommand> selectCommand_;
    std::unique_ptr<CVizuEditor> editor_;

    QWidget* topPanel_ = nullptr;
    QWidget* clientPanel_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QWidget* lineArea_ = nullptr;
    QWidget* newProgram_ = nullptr;
    QGroupBox* programTypeGroupBox_ = nullptr;
    QPushButton* relAbsBtn_ = nullptr;
    QLabel* relAbsLabel_ = nullptr;
    QPushButton* endlessRelativeBtn_ = nullptr;
    QLabel* endlessRelLabel_ = nullptr;
    QGroupBox* programGroupBox_ = nullptr;
    QPushButton* uploadBtn_ = nullptr;
    QLabel* uploadLabel_ = nullptr;
    QLabel* binInfoLabel_ = nullptr;
    QLabel* debugPointer_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    std::array<QAction*, kMenuItems> actions_{};

    std::array<Row, kMaxRows> rows_{};
    int rowCount_ = 0;
    std::uint32_t topLine_ = 0;
    std::uint32_t currentLine_ = 0;
    int gutterWidth_ = 100;
    std::uint32_t programCounter_ = 0;
    DebugPointerPlace pointerPlace_ = DebugPointerPlace::OnLine;
    int wheelRest_ = 0;
    int redraws_ = 0;
    bool jumpCursorOn_ = false;
    QCursor jumpCursor_;
    QImage gutter_;
};

}  // namespace quenor
