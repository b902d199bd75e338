#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace klv {

// One entry of the customer's library. The tree is implied: a group names its members in `children`,
// and each member carries the group's `product_id` in `parentID`.
struct OutlineViewItem {
    qint64 product_id = 0;
    QString product_name;
    QString post_name;
    QString product_image_url;
    qint64 product_fileSize = 0;
    QString product_location;
    QStringList children;
    bool isInstalled = false;
    bool isNeedUpdate = false;
    qint64 parentID = 0;
    bool armCompatiable = false;
    QString mainApplicationType;
    // The store's latest release date ("lastest", yyyy.MM.dd), recorded with what an installation placed.
    QString latestRelease;

    // Expandable in the library view.
    bool isGroup() const { return !children.isEmpty(); }
    bool isComposite() const;
    // A bundle record; member look-ups by name skip it.
    bool isGroupRecord() const;

    friend bool operator==(const OutlineViewItem &, const OutlineViewItem &) = default;
};

size_t qHash(const OutlineViewItem &item, size_t seed = 0);

OutlineViewItem makeOutlineViewItem(const QJsonObject &dictionary);
QJsonObject productDictionary(const OutlineViewItem &item);
// The same dictionary as compact JSON text, appended without building it: the cache of a large library is written
// record by record.
void appendProductJson(QByteArray &out, const OutlineViewItem &item);

} // namespace klv
