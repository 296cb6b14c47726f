#pragma once
// The box that tells what a setup file load left out: a text, sized to fit,
// with an OK button centred under it. A text too long for the screen scrolls
// in a part of it, so that the box and its button stay on the screen.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QLabel;
class QPushButton;
class QScrollArea;

namespace quenor {

// The box's client size, the button's position and the size of the text's
// view for a label of the given bounds (already sized to its text) and a
// button of the given size: the label's left margin on both sides, its top
// margin above, between and below. A box that would be larger than room (an
// invalid room has no limit) shows less of the text, which then scrolls, with
// room for scroll bars of the given width.
struct LoadInfoLayout {
    QSize client;
    QPoint button;
    QSize text;
};
LoadInfoLayout LayoutLoadInfo(const QRect& label, const QSize& button, const QSize& room = QSize(),
                              int scrollBar = 0);

class TfrmLoadInformation : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLoadInformation(QWidget* parent = nullptr);

    // Sets text and caption and sizes the box to the text, at most three
    // quarters of the screen that its owner is on.
    void SetText(const QString& text, const QString& caption);
    // SetText, then shows the box modally.
    int ShowText(const QString& text, const QString& caption);

    QLabel* Label() const { return lblText_; }
    QScrollArea* TextView() const { return text_; }
    QPushButton* OkButton() const { return btnOk_; }

private:
    QScrollArea* text_;
    QLabel* lblText_;
    QPushButton* btnOk_;
};

}  // namespace quenor
