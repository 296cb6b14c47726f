#pragma once
// The box that tells what a setup file load left out: a text, sized to fit,
// with an OK button centred under it.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QLabel;
class QPushButton;

namespace quenor {

// The box's client size and the button's position for a label of the given
// bounds (already sized to its text) and a button of the given size: the label's
// left margin on both sides, its top margin above, between and below.
struct LoadInfoLayout {
    QSize client;
    QPoint button;
};
LoadInfoLayout LayoutLoadInfo(const QRect& label, const QSize& button);

class TfrmLoadInformation : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLoadInformation(QWidget* parent = nullptr);

    // Sets text and caption and sizes the box to the text.
    void SetText(const QString& text, const QString& caption);
    // SetText, then shows the box modally.
    int ShowText(const QString& text, const QString& caption);

    QLabel* Label() const { return lblText_; }
    QPushButton* OkButton() const { return btnOk_; }

private:
    QLabel* lblText_;
    QPushButton* btnOk_;
};

}  // namespace quenor
