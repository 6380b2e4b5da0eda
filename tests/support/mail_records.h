#pragma once

#include "mail_accounts.h"
#include "record_store.h"

#include <vector>

namespace wendlow::test {

// Every record of the mail account file, read past the code under test, so that a test sees
// what was really appended.
inline std::vector<MailAccount> storedMailRecords(const QString& file) {
    const Text alias("em");
    std::vector<MailAccount> out;
    RecordStore store(nullptr);
    if (!store.open(file, alias, gbk("晴空又LanQiao580"))) {
        return out;
    }
    const int count = store.recordCount();
    for (int i = 0; i < count; ++i) {
        out.push_back({store.read(1).text, store.read(2).text});
        store.skip();
    }
    store.close(alias);
    return out;
}

} // namespace wendlow::test
