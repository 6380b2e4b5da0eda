#pragma once

#include "text.h"

namespace wendlow {

// One diary entry: five GBK texts.
struct DiaryEntry {
    Text title;
    Text date;
    Text mood;
    Text weather;
    Text content;

    bool isEmpty() const {
        return title.isEmpty() && date.isEmpty() && mood.isEmpty() && weather.isEmpty() &&
               content.isEmpty();
    }
    friend bool operator==(const DiaryEntry&, const DiaryEntry&) = default;
};

} // namespace wendlow
