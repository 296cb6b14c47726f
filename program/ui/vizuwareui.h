#pragma once
// Questions and messages of the program editor as message boxes.

#include "program/vizuware.h"

#include <functional>

class QWidget;

namespace quenor {

class QtVizuWareUi : public VizuWareUi {
public:
    explicit QtVizuWareUi(QWidget* parent) : parent_(parent) {}
    bool Ask(const std::string& text, const std::string& caption, Buttons buttons) override;
    void Message(const std::string& text, const std::string& caption) override;
    // The editor form's re-layout when the document replaced its program.
    void ProgramChanged() override
    {
        if (onProgramChanged)
            onProgramChanged();
    }
    std::function<void()> onProgramChanged;

private:
    QWidget* parent_;
};

}  // namespace quenor
