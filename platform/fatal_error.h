#pragma once

#include "text.h"

#include <functional>

namespace wendlow {

// A data file that breaks the program's assumptions (a field of another kind, a read with no
// table open) ends the program. The data layer only reports it here; the application connects
// the toolkit's report, which shows the message and exits. In tests the handler records the call
// and returns, and the operation then yields its empty values.
using FatalErrorHandler = std::function<void(int code, const Text& message)>;

} // namespace wendlow
