#pragma once
// The command palette: one large icon button with its description per
// command kind the user can put on a line, eight basic kinds and eight more
// behind "&Advanced >>". It also owns the command glyphs that the listing
// shows on its rows. One instance lives as long as the editor and keeps the
// advanced view between showings.

#include "program/vizueditor.h"

#include <QDialog>
#include <QIcon>
#include <QPixmap>

#include <array>

class QLabel;
class QPushButton;
class QToolButton;

namespace quenor {

class TVizuWareSelectCommand : public QDialog, public VizuCommandPalette {
    Q_OBJECT
public:
    static constexpr int kRows = 17;

    explicit TVizuWareSelectCommand(QWidget* parent = nullptr);

    // Shows the palette modally: -1 when nothing was chosen, else ID + 1.
    int Choose() override;
    // The result of the last showing in the same form (also while shown modelessly).
    int Result() const { return selected_ < 0 ? -1 : selected_ + 1; }

    // The 32 x 20 row glyph of a command ID; a null pixmap for ID 0 or an
    // unknown ID.
    QPixmap SmallGlyph(int id) const;
    // The same as an icon (kept, so that the listing does not build one per row).
    QIcon SmallIcon(int id) const;
    // The 64 x 32 glyph of a command ID: the normal image left, the disabled
    // image right; null for ID 0.
    QPixmap LargeGlyph(int id) const;

    bool Advanced() const { return advanced_; }
    QToolButton* Button(int id) const { return InTable(id) ? buttons_[id] : nullptr; }
    QLabel* Label(int id) const { return InTable(id) ? labels_[id] : nullptr; }
    QPushButton* AdvancedButton() const { return advancedButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }

    void AdvancedButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static bool InTable(int id) { return id >= 0 && id < kRows; }
    void Select(int id);
    void LoadGlyphs();

    std::array<QToolButton*, kRows> buttons_{};
    std::array<QLabel*, kRows> labels_{};
    std::array<QPixmap, kRows> glyphs_{};
    std::array<QPixmap, kRows> smallGlyphs_{};
    std::array<QIcon, kRows> smallIcons_{};
    QPushButton* cancelButton_ = nullptr;
    QPushButton* advancedButton_ = nullptr;
    int maxSlot_ = 0;
    bool advanced_ = false;
    int selected_ = -1;
};

}  // namespace quenor
