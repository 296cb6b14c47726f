#pragma once
// The modal windows of the program: every dialog and box, whoever opened it
// (a form, the session's questions, Qt's message boxes and file dialogs, the
// desktop's own file dialog included), shown with exec() or open().

#include <QObject>
#include <functional>

class QEvent;

namespace quenor {

// True while a modal window is open.
bool ModalWindowOpen();

// Calls closed each time a modal window goes away: when the windows it
// blocked are free again, and when a modal widget is hidden (one that blocked
// no window). Whether another is still open, ModalWindowOpen says.
class ModalWindowWatch : public QObject {
public:
    explicit ModalWindowWatch(std::function<void()> closed);
    ~ModalWindowWatch() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> closed_;
};

}  // namespace quenor
