#pragma once

#include "library/OutlineViewItem.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace klv {

// The store's answer to a library download ("secureCustomerProduct"), read as the library takes it: either the
// store's refusal and nothing else, or the customer's products.
struct LibraryAnswer {
    // The store did not say yes (only the boolean true is a yes); its message, which may be empty.
    std::optional<QString> refusal;
    // Sorted by name; of two objects with the same number, name and location the first.
    QList<OutlineViewItem> products;
    QHash<QString, qint64> nameMap;
    // Product number to its latest release, for the products that name one.
    QHash<qint64, QString> latestReleases;
    // The objects left out for want of a name, for the alert that reports them.
    QList<QJsonObject> namelessObjects;

    static LibraryAnswer decode(const QJsonObject &answer);
    // The same from the answer's text, read a product at a time so that the whole answer is never held as a JSON
    // tree; nothing when the text is not a JSON object, and the text is left for the caller to say why. Read, the
    // text is emptied before the records are sorted and indexed: a large answer and those are not held together.
    static std::optional<LibraryAnswer> read(QByteArray &body);
};

} // namespace klv
