#include "settings.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <QFile>
#include <QSaveFile>

#include <algorithm>
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

// SimpleIni ends a section name at the first ']' byte, which may be the trail byte of a two-byte
// character (沒 is 0x9B 0x5D). While SimpleIni holds a file, such trail bytes in section names
// stand in as 0x7F, a byte no GBK character uses as trail byte, and are put back on saving.
constexpr char kBracket = ']';
constexpr char kStandIn = '\x7F';

void swapTrailBytes(char* begin, const char* end, char from, char to) {
    for (char* p = begin; p < end && p + 1 < end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80) {
            ++p;
            if (*p == from) {
                *p = to;
            }
        }
    }
}

// Applies swapTrailBytes to the name part of every section line.
void swapInSectionLines(QByteArray& bytes, char from, char to) {
    char* const end = bytes.data() + bytes.size();
    for (char* p = bytes.data(); p < end;) {
        char* const lineEnd = std::find(p, end, '\n');
        char* q = p;
        while (q < lineEnd && (*q == ' ' || *q == '\t')) {
            ++q;
        }
        if (q < lineEnd && *q == '[') {
            swapTrailBytes(q + 1, lineEnd, from, to);
        }
        p = lineEnd == end ? end : lineEnd + 1;
    }
}

Text sectionName(Text section) {
    swapTrailBytes(section.data(), section.data() + section.size(), kBracket, kStandIn);
    return section;
}

bool load(Ini& ini, const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray bytes = in.readAll();
    swapInSectionLines(bytes, kBracket, kStandIn);
    return ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size())) >= 0;
}

} // namespace

Text readSetting(const QString& file, const Text& section, const Text& key) {
    Ini ini;
    if (!load(ini, file)) {
        return {};
    }
    const char* value = ini.GetValue(sectionName(section).constData(), key.constData(), nullptr);
    return value ? Text(value).left(kMaxValueBytes) : Text();
}

bool writeSetting(const QString& file, const Text& section, const Text& key, const Text& value) {
    Ini ini;
    ini.SetSpaces(false);
    if (QFile::exists(file) && !load(ini, file)) {
        return false;
    }
    if (ini.SetValue(sectionName(section).constData(), key.constData(), value.constData()) < 0) {
        return false;
    }
    std::string saved;
    if (ini.Save(saved) < 0) {
        return false;
    }
    QByteArray out(saved.data(), static_cast<qsizetype>(saved.size()));
    swapInSectionLines(out, kStandIn, kBracket);
    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly)) {
        return false;
    }
    save.write(out);
    return save.commit();
}

} // namespace wendlow
