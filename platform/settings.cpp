#include "settings.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <QFile>
#include <QSaveFile>

#include <string>

namespace wendlow {

namespace {

constexpr qsizetype kMaxValueBytes = 10239;

// Case-insensitive order for GBK keys: only single-byte ASCII letters fold; the trail byte of a
// two-byte character is compared as it is, even where it looks like a letter.
struct GbkNoCase {
    bool operator()(const char* left, const char* right) const {
        const auto* l = reinterpret_cast<const unsigned char*>(left);
        const auto* r = reinterpret_cast<const unsigned char*>(right);
        bool trailL = false;
        bool trailR = false;
        for (; *l && *r; ++l, ++r) {
            const unsigned lc = trailL ? *l : fold(*l);
            const unsigned rc = trailR ? *r : fold(*r);
            if (lc != rc) {
                return lc < rc;
            }
            trailL = !trailL && *l >= 0x80;
            trailR = !trailR && *r >= 0x80;
        }
        return *r != 0;
    }
    static unsigned fold(unsigned c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }
};

using Ini = CSimpleIniTempl<char, GbkNoCase, SI_ConvertA<char>>;

bool load(Ini& ini, const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = in.readAll();
    return ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size())) >= 0;
}

} // namespace

Text readSetting(const QString& file, const Text& section, const Text& key) {
    Ini ini;
    if (!load(ini, file)) {
        return {};
    }
    const char* value = ini.GetValue(section.constData(), key.constData(), nullptr);
    return value ? Text(value).left(kMaxValueBytes) : Text();
}

bool writeSetting(const QString& file, const Text& section, const Text& key, const Text& value) {
    Ini ini;
    ini.SetSpaces(false);
    if (QFile::exists(file) && !load(ini, file)) {
        return false;
    }
    if (ini.SetValue(section.constData(), key.constData(), value.constData()) < 0) {
        return false;
    }
    std::string out;
    if (ini.Save(out) < 0) {
        return false;
    }
    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly)) {
        return false;
    }
    save.write(out.data(), static_cast<qint64>(out.size()));
    return save.commit();
}

} // namespace wendlow
