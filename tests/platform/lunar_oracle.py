#!/usr/bin/python3
"""Prints the lunar day of every date in a range, one line per day:
"YYYY-MM-DD lunarYear lunarMonth lunarDay leap" (leap is 1 in a leap month, else 0).

Independent reference for the lunar calendar test, taken from Debian's python3-lunardate.
Optional arguments: first and last date as YYYY-MM-DD (default 1950-01-01 2050-12-31).
"""
import datetime
import sys

from lunardate import LunarDate


def main():
    first = datetime.date.fromisoformat(sys.argv[1] if len(sys.argv) > 1 else "1950-01-01")
    last = datetime.date.fromisoformat(sys.argv[2] if len(sys.argv) > 2 else "2050-12-31")
    out = []
    day = first
    while day <= last:
        lunar = LunarDate.fromSolarDate(day.year, day.month, day.day)
        out.append("%s %d %d %d %d" % (day.isoformat(), lunar.year, lunar.month, lunar.day,
                                       1 if lunar.isLeapMonth else 0))
        day += datetime.timedelta(days=1)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
