#pragma once

#include <QIcon>

namespace wendlow {

// The nine 32 by 32 pictures of the editor's toolbar, drawn by the program: 0 save, 1 new page,
// 2 import/export, 3 colours, 4 font, 5 print, 6 date stamp, 7 mail, 8 properties.
QIcon toolbarPicture(int index);
constexpr int kToolbarPictureCount = 9;

} // namespace wendlow
