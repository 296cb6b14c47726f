#pragma once
// Asks the user for the proxy's user name and password, for a worker that
// posted UM_PROXYCREDENTIALS, and hands the answer to its prompt.

#include "update/proxyprompt.h"

class QWidget;

namespace quenor {

// Shows the question modally; the prompt gets the answer (declined on Cancel).
void AnswerProxyPrompt(QWidget* parent, ProxyPrompt& prompt);

}  // namespace quenor
