#pragma once

#include "text.h"

#include <QString>

namespace wendlow {

// INI settings files, one key at a time. Sections and keys match ignoring the case of ASCII
// letters; keys and values are GBK bytes, kept untouched.

// The stored value, at most 10239 bytes; empty when the file, the section or the key is missing.
Text readSetting(const QString& file, const Text& section, const Text& key);

// Sets the key, creating the file, the section and the key as needed. The file is replaced as
// one step, so it is never left half-written. False, with nothing written, when the directory
// is missing or the file cannot be written.
bool writeSetting(const QString& file, const Text& section, const Text& key, const Text& value);

} // namespace wendlow
