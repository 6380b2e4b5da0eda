#pragma once

#include "text.h"

#include <QString>

namespace wendlow {

// A book's folder is named like the book. A name is safe as a folder name when it stays inside
// the program directory and every file system accepts it: not empty, whole GBK characters, none
// of / \ : * ? " < > |, no control characters, not "." or "..", no leading or trailing blanks or
// dots, no reserved device name (CON, NUL, COM1...), and not the program's own settings folder.
bool isSafeBookName(const Text& name);

// The folder of a book, relative to the program directory. Only meaningful for a safe name.
QString bookFolderName(const Text& name);

} // namespace wendlow
