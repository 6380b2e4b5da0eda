#pragma once

class QApplication;

namespace wendlow {

// Switches the flat drawing of standard controls on for every window of the program, those open
// now and those created later. Scheme 1 frames them in RGB(123,158,189). Switching it on again
// replaces the setting by the same one.
void applyFlatStyle(QApplication& app, int scheme);

} // namespace wendlow
