#pragma once
// How hints (tool tips) come and go in the whole application: the pause
// before a hint shows once the mouse rests, and how long it stays shown.

namespace quenor {

// Sets both for every widget of the application from now on. A widget with a
// showing time of its own keeps it.
void SetHintPauses(int hidePauseMs, int pauseMs);

}  // namespace quenor
