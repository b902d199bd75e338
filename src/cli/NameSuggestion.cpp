#include "cli/NameSuggestion.h"

#include <algorithm>
#include <vector>

namespace klv::cli {

qsizetype editDistance(const QString &a, const QString &b) {
    std::vector<qsizetype> row(size_t(b.size() + 1));
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[size_t(j)];
            row[size_t(j)] = std::min({above + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[size_t(b.size())];
}

QString suggestName(const QString &typed, const QStringList &candidates) {
    const QString key = typed.toCaseFolded();
    // "-j" is no typing mistake away from "-y": a name of one or two letters gets no suggestion by distance.
    const qsizetype allowed = std::min<qsizetype>(2, std::max<qsizetype>(0, key.size() - 2));
    QString best;
    qsizetype bestDistance = allowed + 1;
    bool tie = false;
    for (const QString &candidate : candidates) {
        const qsizetype distance = editDistance(key, candidate.toCaseFolded());
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
            tie = false;
        } else if (distance == bestDistance) {
            tie = true;
        }
    }
    if (!best.isEmpty() && !tie)
        return best;
    QStringList beginning;
    for (const QString &candidate : candidates) {
        if (key.size() >= 2 && candidate.toCaseFolded().startsWith(key))
            beginning.append(candidate);
    }
    return beginning.size() == 1 ? beginning.first() : QString();
}

} // namespace klv::cli
