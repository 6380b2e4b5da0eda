#pragma once

#include "diary_entry.h"
#include "text.h"

namespace wendlow::test {

// The entry the crash child writes as its n-th, so that the test can tell a whole entry from a
// torn one. The content is a few KB, so that it spans several pages of the file.
inline DiaryEntry crashEntry(int n) {
    DiaryEntry entry;
    entry.title = gbk("条目") + Text::number(n);
    entry.date = gbk("第") + Text::number(n) + gbk("天");
    entry.mood = n % 2 ? gbk("开心") : gbk("平静");
    entry.weather = n % 3 ? gbk("晴") : gbk("小雨");
    const Text line = Text::number(n) + gbk("：今天也写了一行日记。") + Text("\r\n");
    for (int i = 0; i < 120; ++i) {
        entry.content += Text::number(i) + ' ' + line;
    }
    return entry;
}

} // namespace wendlow::test
