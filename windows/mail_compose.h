#pragma once

#include "diary_entry.h"

namespace wendlow {

// The sender's address: the account, "@", and the mail host from its first full stop on (at a
// character boundary): the whole host when it has none, nothing when the stop is its last byte.
Text senderAddressFor(const Text& account, const Text& host);

// "<owner>跟你分享他的日记：<title>"
Text mailSubject(const Text& ownerName, const DiaryEntry& entry);

// The entry as the mail's text: title and date on the first line, mood and weather on the
// second, then the content.
Text mailBody(const DiaryEntry& entry);

} // namespace wendlow
