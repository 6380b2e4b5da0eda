#include "text.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <charconv>
#include <cmath>
#include <string>

namespace wendlow {

QString toUnicode(const Text& text) {
    // A fresh stateful decoder per call: a dangling lead byte at the end is held back and
    // never shown.
    QStringDecoder decoder("GB18030");
    return decoder.decode(text);
}

Text fromUnicode(const QString& text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

Text gbk(const char* utf8) {
    return fromUnicode(QString::fromUtf8(utf8));
}

bool isWholeText(const Text& text) {
    qsizetype pos = 0;
    while (pos < text.size()) {
        pos = nextCharacter(text, pos);
    }
    if (pos != text.size()) {
        return false;
    }
    QStringDecoder decoder("GB18030");
    const QString decoded = decoder.decode(text);
    if (decoder.hasError() || decoded.contains(QChar::ReplacementCharacter)) {
        return false;
    }
    return fromUnicode(decoded) == text;
}

Text foldAsciiCase(const Text& text) {
    Text out = text;
    qsizetype pos = 0;
    while (pos < out.size()) {
        const char c = out[pos];
        if (c >= 'A' && c <= 'Z') {
            out[pos] = static_cast<char>(c - 'A' + 'a');
        }
        pos = nextCharacter(out, pos);
    }
    return out;
}

namespace {

// Full-width forms become their ASCII characters; other two-byte characters are kept whole
// so that their trail bytes are never mistaken for digits.
std::string foldFullWidth(const Text& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    qsizetype pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++pos;
            continue;
        }
        if (pos + 1 >= text.size()) {
            break;
        }
        const auto trail = static_cast<unsigned char>(text[pos + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.push_back(static_cast<char>(trail & 0x7F));
        } else if (lead == 0xA1 && trail == 0xA1) {
            out.push_back(' ');
        } else {
            out.push_back(static_cast<char>(lead));
            out.push_back(static_cast<char>(trail));
        }
        pos += 2;
    }
    return out;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

double textToNumber(const Text& text) {
    const std::string s = foldFullWidth(text);
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const size_t start = i;
    size_t intDigits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++intDigits;
    }
    size_t fracDigits = 0;
    if (i < s.size() && s[i] == '.') {
        size_t j = i + 1;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++fracDigits;
        }
        if (intDigits + fracDigits > 0) {
            i = j;
        }
    }
    if (intDigits + fracDigits == 0) {
        return 0.0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) {
                ++j;
            }
            i = j;
        }
    }
    double value = 0.0;
    const char* first = s.data() + start;
    const char* last = s.data() + i;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; tell them apart by the
        // exponent's sign, as strtod would.
        const std::string part(first, last);
        const auto e = part.find_first_of("eE");
        const bool tiny = e != std::string::npos && part.find('-', e) != std::string::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    (void)ptr;
    return negative ? -value : value;
}

qint32 wholeNumberLow32(double value) {
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0) {
        return 0;
    }
    const auto whole = static_cast<qint64>(value);
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(whole) & 0xFFFFFFFFu));
}

} // namespace wendlow
