#pragma once

#include "text.h"

#include <QString>

namespace wendlow {

// The content box holds line breaks as CR LF, as entries, files and mails carry them; the
// widget itself works with LF.
Text contentToText(const QString& widgetText);
QString contentFromText(const Text& stored);

} // namespace wendlow
