#pragma once
// Results of the program's modal dialogs, as their callers compare them.

namespace quenor {

enum ModalResult : int {
    kMrNone = 0,
    kMrOk = 1,
    kMrCancel = 2,
    kMrAbort = 3,
    kMrRetry = 4,
    kMrIgnore = 5,
};

}  // namespace quenor
