#pragma once

#include "text.h"

namespace wendlow {

// The one program-wide state, created at start and never stored. Handlers read and write it on
// the user-interface thread; windows that need it are handed a reference.
struct ProgramState {
    Text bookName;
    Text ownerName;
    Text bookNote;
    qint32 holidayDays = 0;
    Text bookPassword;
    Text entryCountText;
    qint32 bookIndex = 0;
    qint32 welcomeDone = 0;
    qint32 selectedEntryIndex = 0;
    Text senderAddress;
    Text remoteVersion;
    Text localVersion;
    Text greetingTail;
    qint32 bookCreated = 0;
};

} // namespace wendlow
