#include "library/GroupMembers.h"

using namespace Qt::StringLiterals;

namespace klv {

std::optional<qsizetype> findGroupMember(const QList<OutlineViewItem> &library, const QString &memberText) {
    // Member texts may carry the maker's name prefix; record names are matched without it.
    const QString name = QString(memberText).remove(u"Vantory - "_s);
    for (qsizetype index = 0; index < library.size(); ++index) {
        const OutlineViewItem &candidate = library.at(index);
        if (candidate.product_name == name && !candidate.isGroupRecord())
            return index;
    }
    return std::nullopt;
}

QList<qsizetype> groupMemberIndexes(const QList<OutlineViewItem> &library, const OutlineViewItem &group) {
    QList<qsizetype> indexes;
    for (const QString &memberText : group.children) {
        if (const std::optional<qsizetype> index = findGroupMember(library, memberText))
            indexes.append(*index);
    }
    return indexes;
}

} // namespace klv
