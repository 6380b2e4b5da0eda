#include "greetings.h"

namespace wendlow {

std::optional<Text> greetingWord(int hour) {
    // Later rules win where several hold: 19 is still evening's "傍晚", from 20 on "晚上".
    std::optional<Text> word;
    if (hour < 6) {
        word = gbk("凌晨好啊，");
    }
    if (hour >= 7 && hour <= 11) {
        word = gbk("上午好啊，");
    }
    if (hour == 12) {
        word = gbk("中午好啊，");
    }
    if (hour > 12) {
        word = gbk("下午好啊，");
    }
    if (hour > 18) {
        word = gbk("傍晚好啊，");
    }
    if (hour > 19) {
        word = gbk("晚上好啊，");
    }
    return word;
}

Text mainGreetingText(const Text& word, const ProgramState& state) {
    return word + state.ownerName + state.greetingTail;
}

Text pastEntriesGreetingText(const Text& word, const ProgramState& state) {
    return word + state.ownerName + gbk("！你在<《") + state.bookName + gbk("》日记本中写了") +
           state.entryCountText + gbk("篇日记啦！");
}

} // namespace wendlow
