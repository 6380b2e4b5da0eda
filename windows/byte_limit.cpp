#include "byte_limit.h"

#include "text.h"

namespace wendlow {

QValidator::State GbkByteLimit::validate(QString& input, int&) const {
    return fromUnicode(input).size() <= bytes_ ? Acceptable : Invalid;
}

void GbkByteLimit::fixup(QString& input) const {
    while (!input.isEmpty() && fromUnicode(input).size() > bytes_) {
        input.chop(input.back().isLowSurrogate() && input.size() > 1 ? 2 : 1);
    }
}

} // namespace wendlow
