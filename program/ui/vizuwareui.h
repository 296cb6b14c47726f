#pragma once
// Questions and messages of the program editor as message boxes.

#include "program/vizuware.h"

class QWidget;

namespace quenor {

class QtVizuWareUi : public VizuWareUi {
public:
    explicit QtVizuWareUi(QWidget* parent) : parent_(parent) {}
    bool Ask(const std::string& text, const std::string& caption, Buttons buttons) override;
    void Message(const std::string& text, const std::string& caption) override;

private:
    QWidget* parent_;
};

}  // namespace quenor
