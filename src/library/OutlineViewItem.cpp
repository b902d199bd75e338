#include "library/OutlineViewItem.h"

#include <QHashFunctions>
#include <QJsonArray>

#include "store/JsonTextScanner.h"
#include "store/LenientJson.h"

using namespace Qt::StringLiterals;

namespace klv {

namespace {

constexpr auto kProductId = "product_id"_L1;
constexpr auto kProductName = "product_name"_L1;
constexpr auto kPostName = "post_name"_L1;
constexpr auto kProductImageUrl = "product_image_url"_L1;
constexpr auto kProductFileSize = "product_fileSize"_L1;
constexpr auto kProductLocation = "product_location"_L1;
constexpr auto kChildren = "children"_L1;
constexpr auto kIsInstalled = "isInstalled"_L1;
constexpr auto kIsNeedUpdate = "isNeedUpdate"_L1;
constexpr auto kParentId = "parentID"_L1;
constexpr auto kArmCompatiable = "armCompatiable"_L1;
// The dictionary key differs from the field name.
constexpr auto kMainApplication = "mainApplication"_L1;
constexpr auto kLatestRelease = "lastest"_L1;

void appendKey(QByteArray &out, QLatin1StringView key) {
    out.append(out.endsWith('{') ? "\"" : ",\"").append(key.data(), key.size()).append("\":");
}

void appendMember(QByteArray &out, QLatin1StringView key, const QString &text) {
    appendKey(out, key);
    json::appendQuoted(out, text);
}

void appendMember(QByteArray &out, QLatin1StringView key, qint64 number) {
    appendKey(out, key);
    out.append(QByteArray::number(number));
}

void appendMember(QByteArray &out, QLatin1StringView key, bool flag) {
    appendKey(out, key);
    out.append(flag ? "true" : "false");
}

} // namespace

bool OutlineViewItem::isComposite() const {
    return product_location == "Composite"_L1;
}

bool OutlineViewItem::isGroupRecord() const {
    return product_location == "Multiple"_L1;
}

size_t qHash(const OutlineViewItem &item, size_t seed) {
    return qHashMulti(seed, item.product_id, item.product_name, item.post_name, item.product_image_url,
                      item.product_fileSize, item.product_location, item.children, item.isInstalled, item.isNeedUpdate,
                      item.parentID, item.armCompatiable, item.mainApplicationType);
}

OutlineViewItem makeOutlineViewItem(const QJsonObject &dictionary) {
    OutlineViewItem item;
    item.product_id = json::int64Or(dictionary, kProductId);
    item.product_name = json::textOr(dictionary, kProductName);
    item.post_name = json::textOr(dictionary, kPostName);
    item.product_image_url = json::textOr(dictionary, kProductImageUrl);
    item.product_fileSize = json::int64Or(dictionary, kProductFileSize);
    item.product_location = json::textOr(dictionary, kProductLocation);
    item.children = json::textListOr(dictionary, kChildren);
    item.isInstalled = json::boolOr(dictionary, kIsInstalled);
    item.isNeedUpdate = json::boolOr(dictionary, kIsNeedUpdate);
    item.parentID = json::int64Or(dictionary, kParentId);
    item.armCompatiable = json::boolOr(dictionary, kArmCompatiable);
    item.mainApplicationType = json::textOr(dictionary, kMainApplication);
    item.latestRelease = json::textOr(dictionary, kLatestRelease);
    return item;
}

QJsonObject productDictionary(const OutlineViewItem &item) {
    QJsonObject dictionary;
    dictionary.insert(kProductId, item.product_id);
    dictionary.insert(kProductName, item.product_name);
    dictionary.insert(kPostName, item.post_name);
    dictionary.insert(kProductImageUrl, item.product_image_url);
    dictionary.insert(kProductFileSize, item.product_fileSize);
    dictionary.insert(kProductLocation, item.product_location);
    dictionary.insert(kChildren, QJsonArray::fromStringList(item.children));
    dictionary.insert(kIsInstalled, item.isInstalled);
    dictionary.insert(kIsNeedUpdate, item.isNeedUpdate);
    dictionary.insert(kParentId, item.parentID);
    dictionary.insert(kArmCompatiable, item.armCompatiable);
    dictionary.insert(kMainApplication, item.mainApplicationType);
    if (!item.latestRelease.isEmpty())
        dictionary.insert(kLatestRelease, item.latestRelease);
    return dictionary;
}

void appendProductJson(QByteArray &out, const OutlineViewItem &item) {
    out.append('{');
    appendMember(out, kProductId, item.product_id);
    appendMember(out, kProductName, item.product_name);
    appendMember(out, kPostName, item.post_name);
    appendMember(out, kProductImageUrl, item.product_image_url);
    appendMember(out, kProductFileSize, item.product_fileSize);
    appendMember(out, kProductLocation, item.product_location);
    appendKey(out, kChildren);
    out.append('[');
    for (qsizetype i = 0; i < item.children.size(); ++i) {
        if (i > 0)
            out.append(',');
        json::appendQuoted(out, item.children[i]);
    }
    out.append(']');
    appendMember(out, kIsInstalled, item.isInstalled);
    appendMember(out, kIsNeedUpdate, item.isNeedUpdate);
    appendMember(out, kParentId, item.parentID);
    appendMember(out, kArmCompatiable, item.armCompatiable);
    appendMember(out, kMainApplication, item.mainApplicationType);
    out.append('}');
}

} // namespace klv
