#pragma once

#include "data_context.h"
#include "text.h"

namespace wendlow {

// The settings files and their keys. Flags are the texts "真" and "假".
namespace settings_keys {

QString infIniPath(const DataContext& context);  // DATEINI/Inf.ini
QString dateIniPath(const DataContext& context); // DATEINI/Date.ini

const Text& section();       // "Infor"
const Text& welcomeHidden(); // xuanzhong: the welcome window is not shown at start when "真"
const Text& version();       // banben: the local version text
const Text& rememberName();  // JiLu: "真" once the new-book window's check box was ticked
const Text& ownerName();     // Name: the owner name the new-book window remembers

const Text& flagTrue();     // "真"
const Text& flagFalse();    // "假"
const Text& localVersion(); // "1.0", written at every start

} // namespace settings_keys

} // namespace wendlow
