#include "library/LibraryRow.h"

#include "core/ByteCountFormat.h"
#include "library/GroupMembers.h"

#include <array>

namespace klv {

namespace {

struct Kind {
    KindBit bit;
    const char16_t *word;
    const char16_t *listed;
};

constexpr std::array<Kind, 5> kinds{{
    {effectsKind, u"Effects", u"Effects, "},
    {generatorsKind, u"Generators", u"Generators, "},
    {titlesKind, u"Titles", u"Titles, "},
    {transitionsKind, u"Transitions", u"Transitions, "},
    {compositeKind, u"Composite", u"Composite"},
}};

const QString siliconSuffix = QStringLiteral(" | \uf8ff Silicon Compatible");

} // namespace

int kindMask(const QString &location) {
    int mask = 0;
    for (const Kind &kind : kinds) {
        if (location.contains(QStringView(kind.word)))
            mask |= kind.bit;
    }
    return mask;
}

LibraryRow describeLibraryRow(const OutlineViewItem &record, const QList<OutlineViewItem> &libraryProducts) {
    return describeLibraryRow(record, libraryProducts,
                              record.children.isEmpty() ? QList<qsizetype>()
                                                        : groupMemberIndexes(libraryProducts, record));
}

LibraryRow describeLibraryRow(const OutlineViewItem &record, const QList<OutlineViewItem> &libraryProducts,
                              const QList<qsizetype> &memberIndexes) {
    LibraryRow row;
    row.title = QString(record.product_name).remove(QStringLiteral("Vantory - "));
    if (record.children.isEmpty()) {
        row.kindText = record.product_location;
        row.kindMask = kindMask(record.product_location);
        row.subLine = u"File Size: " + formatByteCount(record.product_fileSize);
        if (record.armCompatiable)
            row.subLine += siliconSuffix;
        return row;
    }

    qsizetype installed = 0;
    bool silicon = false;
    for (const qsizetype member : memberIndexes) {
        const OutlineViewItem &product = libraryProducts[member];
        installed += product.isInstalled ? 1 : 0;
        silicon = silicon || product.armCompatiable;
        row.kindMask |= kindMask(product.product_location);
    }
    for (const Kind &kind : kinds) {
        if (row.kindMask & kind.bit)
            row.kindText += QStringView(kind.listed);
    }
    row.subLine = QString::number(installed) + u" / " + QString::number(record.children.size()) + u" installed";
    if (silicon)
        row.subLine += siliconSuffix;
    return row;
}

} // namespace klv
