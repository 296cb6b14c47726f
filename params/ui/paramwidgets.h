#pragma once
// Small widgets of the parameter controls: a label that reports clicks, a pair
// of spin buttons, the lamp image, a combo box that reports when its list
// closes, and the content of a page's scroll area.

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <functional>

class QToolButton;

namespace quenor {

// A label that calls onClick when the mouse is released over it.
class ClickLabel : public QLabel {
public:
    explicit ClickLabel(QWidget* parent) : QLabel(parent) {}
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// An up and a down button, 15 by 20 pixels; onStep(true) for up.
class SpinButtons : public QWidget {
public:
    explicit SpinButtons(QWidget* parent);
    std::function<void(bool up)> onStep;
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

private:
    QToolButton* up_;
    QToolButton* down_;
};

// Shows a canvas image; reports pointer movements and clicks in its pixels.
class LampView : public QWidget {
public:
    explicit LampView(QWidget* parent);
    QImage& Canvas() { return canvas_; }
    void SetCanvas(QImage image);
    std::function<void(int x, int y)> onMouseMove;
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage canvas_;
    bool pressed_ = false;
};

// A combo box that knows whether its list is open and reports its closing.
class ParamComboBox : public QComboBox {
public:
    explicit ParamComboBox(QWidget* parent) : QComboBox(parent) {}
    bool ListOpen() const { return open_; }
    std::function<void()> onListClosed;
    void showPopup() override;
    void hidePopup() override;

private:
    bool open_ = false;
};

// The content of a page's scroll area: as large as the controls placed on it.
class ScrollContent : public QWidget {
public:
    explicit ScrollContent(QWidget* parent = nullptr) : QWidget(parent) {}
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override { return minimumSizeHint(); }
};

// Radio button and check box that take a click anywhere in their rectangle,
// not only on the mark and the text.
class WideRadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

class WideCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A Windows colour value ($00BBGGRR) as a Qt colour.
QColor ColourFromTColor(int colour);

}  // namespace quenor
