#include "settings_keys.h"

namespace wendlow::settings_keys {

QString infIniPath(const DataContext& context) {
    return context.path(QStringLiteral("DATEINI/Inf.ini"));
}

QString dateIniPath(const DataContext& context) {
    return context.path(QStringLiteral("DATEINI/Date.ini"));
}

const Text& section() {
    static const Text t("Infor");
    return t;
}
const Text& welcomeHidden() {
    static const Text t("xuanzhong");
    return t;
}
const Text& version() {
    static const Text t("banben");
    return t;
}
const Text& rememberName() {
    static const Text t("JiLu");
    return t;
}
const Text& ownerName() {
    static const Text t("Name");
    return t;
}
const Text& flagTrue() {
    static const Text t = gbk("真");
    return t;
}
const Text& flagFalse() {
    static const Text t = gbk("假");
    return t;
}
const Text& localVersion() {
    static const Text t("1.0");
    return t;
}

} // namespace wendlow::settings_keys
