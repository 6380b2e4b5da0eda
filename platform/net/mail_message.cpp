#include "mail_message.h"

#include <algorithm>

namespace wendlow {

namespace {

constexpr qsizetype maxEncodedWord = 75;
constexpr qsizetype maxHeaderLine = 76;
constexpr qsizetype base64LineLength = 76;

bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// Byte length of the character starting at `pos`: ASCII 1, GB18030 four-byte sequences (lead
// byte, then a digit) 4, other lead bytes 2. A character cut short at the end keeps what is left.
qsizetype characterLength(const Text& text, qsizetype pos) {
    const auto b = static_cast<unsigned char>(text[pos]);
    qsizetype length = 1;
    if (isLeadByte(b)) {
        const bool fourBytes =
            pos + 1 < text.size() && text[pos + 1] >= '0' && text[pos + 1] <= '9';
        length = fourBytes ? 4 : 2;
    }
    return std::min(length, text.size() - pos);
}

bool isPlainAscii(const Text& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// An address field: plain ASCII as it is, anything else as encoded words so the header stays
// 7-bit and a line break inside the text cannot start a header of its own.
Text addressField(const char* name, const Text& value) {
    if (isPlainAscii(value)) {
        return Text(name) + ": " + value;
    }
    return encodedHeaderField(name, value);
}

} // namespace

const char* mailCharset(const Text& text) {
    for (qsizetype pos = 0; pos < text.size(); pos += characterLength(text, pos)) {
        if (characterLength(text, pos) == 4) {
            return "GB18030";
        }
    }
    return "GBK";
}

Text encodedHeaderField(const char* name, const Text& value) {
    Text field = Text(name) + ':';
    const Text prefix = Text("=?") + mailCharset(value) + "?B?";
    const qsizetype overhead = prefix.size() + 2;
    // The first word follows "Name: " on the field's line; every later one has a line of its own
    // after the folding blank.
    qsizetype lineUsed = field.size() + 1;
    qsizetype pos = 0;
    while (pos < value.size()) {
        const qsizetype wordRoom = std::min(maxEncodedWord, maxHeaderLine - lineUsed);
        const qsizetype maxBytes = (wordRoom - overhead) / 4 * 3;
        qsizetype end = pos;
        while (end < value.size() && end - pos + characterLength(value, end) <= maxBytes) {
            end += characterLength(value, end);
        }
        if (end == pos) {
            end += characterLength(value, pos); // never reached with the header names we use
        }
        const Text word = prefix + value.mid(pos, end - pos).toBase64() + "?=";
        field += (pos == 0 ? " " : "\r\n ") + word;
        lineUsed = 1;
        pos = end;
    }
    return field;
}

Text withCrlfLineEnds(const Text& text) {
    Text out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

Text composePlainMail(const MailHeader& header, const Text& body) {
    const Text crlf = "\r\n";
    Text mail;
    mail += addressField("From", header.from) + crlf;
    mail += addressField("To", header.to) + crlf;
    if (!header.replyTo.isEmpty()) {
        mail += addressField("Reply-To", header.replyTo) + crlf;
    }
    mail += encodedHeaderField("Subject", header.subject) + crlf;
    mail += "Date: " + header.date.toString(Qt::RFC2822Date).toLatin1() + crlf;
    mail += "Message-ID: <" + header.messageId + '>' + crlf;
    mail += "MIME-Version: 1.0" + crlf;
    mail += Text("Content-Type: text/plain; charset=") + mailCharset(body) + crlf;
    mail += "Content-Transfer-Encoding: base64" + crlf;
    mail += crlf;
    const Text encoded = withCrlfLineEnds(body).toBase64();
    for (qsizetype pos = 0; pos < encoded.size(); pos += base64LineLength) {
        mail += encoded.mid(pos, base64LineLength) + crlf;
    }
    return mail;
}

} // namespace wendlow
