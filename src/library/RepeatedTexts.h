#pragma once

#include "library/OutlineViewItem.h"

#include <QString>

#include <unordered_set>

namespace klv {

// One copy of the texts that most records of a library repeat (locations, host applications, release dates):
// a quarter of a million records would otherwise hold as many copies of "Titles" and "2026.01.20".
class RepeatedTexts final {
public:
    void share(OutlineViewItem &record);

private:
    void share(QString &text);

    // Only a few distinct values repeat; past this many the pool would only cost, so new values go unshared.
    static constexpr std::size_t capacity = 512;
    std::unordered_set<QString> m_texts;
};

} // namespace klv
