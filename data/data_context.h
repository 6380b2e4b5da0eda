#pragma once

#include "clock.h"
#include "fatal_error.h"

#include <QString>

namespace wendlow {

// What every data operation needs: the program directory all files live under, where fatal
// file errors go, and the clock (for naming a registry that had to be kept aside).
struct DataContext {
    QString programDir;
    FatalErrorHandler fatal;
    const Clock* clock = nullptr;

    QString path(const QString& relative) const { return programDir + QLatin1Char('/') + relative; }
};

} // namespace wendlow
