#pragma once

#include "text.h"

#include <QString>

namespace wendlow {

// "运行时出错!\r\n\r\n", then the code when it is not 0, then the message when there is one.
QString fatalErrorText(int code, const Text& message);

// Shows the report with the caption "错误" and ends the process with status -1. Files are only
// open inside one operation, each in its own transaction, so ending here loses nothing written.
[[noreturn]] void reportFatalError(int code, const Text& message);

} // namespace wendlow
