#pragma once

#include "text.h"

#include <QDateTime>

namespace wendlow {

// What goes into the header of a mail besides the fixed MIME fields.
struct MailHeader {
    Text from;
    Text to;
    Text replyTo; // left out when empty
    Text subject;
    QDateTime date;
    Text messageId; // without the angle brackets
};

// A plain-text mail, ready for the DATA phase (not yet dot-stuffed): 7-bit only, CRLF line ends.
// Subject (and any address text that is not plain ASCII) as RFC 2047 encoded words; the body
// base64-encoded in its canonical form (every line break CR LF) as text/plain in GBK, or
// GB18030 when it holds four-byte sequences. No Cc or Bcc field: those recipients stay in the
// envelope only.
Text composePlainMail(const MailHeader& header, const Text& body);

// "Name: value" with the value as encoded words, folded so that no encoded word exceeds 75
// characters, no line exceeds 76 and no character is split between two words. No line end.
Text encodedHeaderField(const char* name, const Text& value);

// "GB18030" when the text holds a four-byte GB18030 sequence, otherwise "GBK".
const char* mailCharset(const Text& text);

// The text with every line break (CR LF, a lone CR or a lone LF) made CR LF.
Text withCrlfLineEnds(const Text& text);

} // namespace wendlow
