#include "mail_compose.h"

namespace wendlow {

Text senderAddressFor(const Text& account, const Text& host) {
    qsizetype stop = -1;
    for (qsizetype pos = 0; pos < host.size(); pos = nextCharacter(host, pos)) {
        if (host[pos] == '.') {
            stop = pos;
            break;
        }
    }
    const Text domain = stop < 0 ? host : host.mid(stop + 1);
    return account + "@" + domain;
}

Text mailSubject(const Text& ownerName, const DiaryEntry& entry) {
    return ownerName + gbk("跟你分享他的日记：") + entry.title;
}

Text mailBody(const DiaryEntry& entry) {
    return gbk("日记标题：") + entry.title + gbk("     这篇日记完成于：") + entry.date +
           gbk("\r\n那时我的心情") + entry.mood + gbk("     以及那时的天气：") + entry.weather +
           "\r\n" + entry.content;
}

} // namespace wendlow
