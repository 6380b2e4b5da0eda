// Feeds arbitrary bytes to the entry file parser: whatever a file holds, parsing must neither
// crash nor read out of bounds, and what it yields must format back into a file that parses to
// the same entry when its texts allow it.

#include "entry_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const wendlow::Text bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<wendlow::DiaryEntry> entry = wendlow::parseEntryFile(bytes);
    if (!entry) {
        return 0;
    }
    const wendlow::Text separator(36, '-');
    const bool plain = !entry->content.isEmpty() && !entry->content.contains(separator) &&
                       !entry->title.contains("\r\n") && !entry->date.contains("\r\n") &&
                       !entry->mood.contains("\r\n") && !entry->weather.contains("\r\n");
    if (plain) {
        const std::optional<wendlow::DiaryEntry> again =
            wendlow::parseEntryFile(wendlow::formatEntryFile(*entry));
        if (!again || !(*again == *entry)) {
            std::abort();
        }
    }
    return 0;
}
