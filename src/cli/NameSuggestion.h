#pragma once

#include <QString>
#include <QStringList>

namespace klv::cli {

// How many single-character insertions, deletions and substitutions turn one text into the other.
qsizetype editDistance(const QString &a, const QString &b);

// The one candidate a mistyped name most likely meant: the closest within a typing mistake or two (fewer for a
// short name), else the only one it begins; empty when none stands out.
QString suggestName(const QString &typed, const QStringList &candidates);

} // namespace klv::cli
