#pragma once

#include <QByteArray>
#include <QString>

namespace wendlow {

// Every text the program shows or stores is a byte string in GBK. Lengths, cuts and
// comparisons work on these bytes; a two-byte character counts 2.
using Text = QByteArray;

// GBK bytes to Unicode for widgets, paths and mail. Decoded as GB18030, which agrees with GBK
// on every GBK sequence; a lead byte left dangling at the end by a byte cut shows as nothing.
QString toUnicode(const Text& text);

// Unicode to GBK bytes. Encoded as GB18030, so a character GBK lacks keeps its four-byte form
// instead of turning into "?".
Text fromUnicode(const QString& text);

// Convenience for the program's fixed texts, written as UTF-8 in the sources.
Text gbk(const char* utf8);

// True when `text` is a whole sequence of characters: no lead byte is left dangling and every
// byte sequence decodes and encodes back to itself.
bool isWholeText(const Text& text);

// Position just past the character starting at `pos`: a byte of 0x80 or above and the byte after
// it form one character.
inline qsizetype nextCharacter(const Text& text, qsizetype pos) {
    return pos + ((static_cast<unsigned char>(text[pos]) >= 0x80) ? 2 : 1);
}

// ASCII letters folded to lower case, stepping over two-byte characters so that their trail
// bytes (which may fall in the range of ASCII letters) are never changed.
Text foldAsciiCase(const Text& text);

// The leading decimal number of a text. Full-width ASCII forms (0xA3 0xA1..0xFE) and the
// full-width space count as their ASCII characters; leading blanks are skipped; a sign, digits,
// a decimal point with digits and an exponent are read up to the first other character.
// A text that does not begin with a number gives 0.
double textToNumber(const Text& text);

// A number as a 32-bit field takes it: cut toward zero to a 64-bit integer (0 when it lies beyond
// that range or is not finite), of which the low 32 bits are kept.
qint32 wholeNumberLow32(double value);

} // namespace wendlow
