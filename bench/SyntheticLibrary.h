#pragma once

#include "library/OutlineViewItem.h"

#include <QList>
#include <QString>

namespace klv::bench {

// A synthetic library of 10,000 records, the same in every benchmark: 1,000 groups of 5 members, each group followed
// by its members, then 4,000 ordinary products. Every member of two groups in five, and every fourth ordinary product,
// is installed: 3,000 template folders.
struct SyntheticLibrary {
    static constexpr qsizetype recordCount = 10'000;
    static constexpr qsizetype groupCount = 1'000;
    static constexpr qsizetype installedFolderCount = 3'000;
    static constexpr qsizetype installedGroupCount = groupCount / 5 * 2;

    struct Installed {
        QString category;
        QString productName;
    };

    SyntheticLibrary();

    QList<OutlineViewItem> records;
    // The template folders that make records installed: "KLV - <name>" in the Motion folder of the category.
    QList<Installed> installed;
};

} // namespace klv::bench
