#pragma once

#include "text.h"

#include <QDateTime>

namespace wendlow {

// The current local date and time. Replaceable, so that greetings and date stamps can be tested
// at any hour.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// "2010年2月14日9时5分": the date without leading zeros, then the time as far as it is not zero
// (seconds, else minutes, else the hour, else nothing). Dates outside 100-01-01 .. 9999-12-31
// are first clamped to that day at midnight.
Text formatDateTime(const QDateTime& when);

} // namespace wendlow
