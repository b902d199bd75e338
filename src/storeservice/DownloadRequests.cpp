#include "storeservice/DownloadRequests.h"

#include <algorithm>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QUrl>
#include <QVariant>

#include "storeservice/CatalogLookup.h"

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

// The id picks the product; among products that share an id (every composite has 0) the name does.
std::optional<QJsonObject> requestedProduct(const QJsonObject &content, qint64 productId, const QString &name) {
    QList<QJsonObject> candidates;
    for (const auto &entry : content.value(u"products"_s).toArray()) {
        const QJsonObject product = entry.toObject();
        if (product.value(u"product_id"_s) == QJsonValue(productId)) {
            candidates.append(product);
        }
    }
    if (candidates.size() == 1) {
        return candidates.first();
    }
    const auto named = std::find_if(candidates.cbegin(), candidates.cend(), [&name](const QJsonObject &product) {
        return product.value(u"product_name"_s) == QJsonValue(name);
    });
    return named != candidates.cend() ? std::optional(*named) : std::nullopt;
}

// "12\n" and "13.1" compare component by component as numbers; missing or unreadable components count as 0.
QList<qint64> versionComponents(const QString &text) {
    QList<qint64> components;
    for (const QString &component : text.trimmed().split(u'.')) {
        components.append(component.toLongLong());
    }
    return components;
}

bool isNewer(const QString &required, const QString &actual) {
    QList<qint64> wanted = versionComponents(required);
    QList<qint64> present = versionComponents(actual);
    const qsizetype length = std::max(wanted.size(), present.size());
    wanted.resize(length);
    present.resize(length);
    return wanted > present;
}

// A package without "dlSize" gets the size of the store's own file that its "dlLink" names, so catalogs need not
// keep the sizes of files the build makes.
QJsonValue package(const QJsonValue &entry, const QString &filesDirectory, const QString &storeUrl) {
    const QString prefix = u"{store}/files/"_s;
    QJsonObject object = entry.toObject();
    const QString link = object.value(u"dlLink"_s).toString();
    if (!entry.isObject() || object.contains(u"dlSize"_s) || !link.startsWith(prefix)) {
        return CatalogLookup::withStoreUrl(entry, storeUrl);
    }
    const QString relative = QUrl::fromPercentEncoding(link.sliced(prefix.size()).toUtf8());
    const QFileInfo file(QDir(filesDirectory).filePath(relative));
    if (!relative.split(u'/').contains(u".."_s) && file.isFile()) {
        object.insert(u"dlSize"_s, file.size());
    }
    return CatalogLookup::withStoreUrl(object, storeUrl);
}

QJsonObject templateEntries(const QJsonObject &templateData, const QString &osVersion, const QString &filesDirectory,
                            const QString &storeUrl) {
    QJsonObject entries;
    for (auto entry = templateData.begin(); entry != templateData.end(); ++entry) {
        QJsonValue answered = package(*entry, filesDirectory, storeUrl);
        // Anything but an object goes out as stored, so a catalog can hand the app a malformed entry.
        if (answered.isObject()) {
            QJsonObject object = answered.toObject();
            const QString required = object.take(u"minOSVersion"_s).toVariant().toString();
            if (!required.isEmpty() && isNewer(required, osVersion)) {
                object = {{u"product_name"_s, u""_s}, {u"msg"_s, u"not meet requirement"_s}};
            }
            answered = object;
        }
        entries.insert(entry.key(), answered);
    }
    return entries;
}

QJsonValue compositeEntries(const QJsonValue &compositeData, const QString &filesDirectory, const QString &storeUrl) {
    if (!compositeData.isArray()) {
        return compositeData.isUndefined() ? QJsonArray() : CatalogLookup::withStoreUrl(compositeData, storeUrl);
    }
    QJsonArray entries;
    for (const auto &entry : compositeData.toArray()) {
        entries.append(package(entry, filesDirectory, storeUrl));
    }
    return entries;
}

} // namespace

void DownloadRequests::registerWith(RequestRouter &router, const QString &endpoint) {
    router.addHandler(endpoint, u"requestDownloadInfo"_s, &DownloadRequests::downloadInfo);
    router.addHandler(endpoint, u"appleCustomLut"_s, &DownloadRequests::customLuts);
}

StoreAnswer DownloadRequests::downloadInfo(const DecodedRequest &request, Catalog &catalog) {
    const QStringList &parameters = request.parameters;
    if (parameters.size() != 6) {
        return StoreAnswer::failure(
            u"requestDownloadInfo takes p2 (e-mail), p3 (product id), p4 (product name), "
            u"p5 (system version), p6 (\"2\") and p7 (group), got %1 parameters"_s.arg(parameters.size()));
    }
    bool isNumber = false;
    const qint64 productId = parameters.at(1).toLongLong(&isNumber);
    if (!isNumber) {
        return StoreAnswer::failure(u"p3 must be a product id in decimal, got \"%1\""_s.arg(parameters.at(1)));
    }
    if (parameters.at(4) != u"2"_s) {
        return StoreAnswer::failure(u"requestDownloadInfo expects p6 \"2\", got \"%1\""_s.arg(parameters.at(4)));
    }
    const QString &group = parameters.at(5);
    if (group != u"true"_s && group != u"false"_s) {
        return StoreAnswer::failure(u"p7 must be \"true\" or \"false\", got \"%1\""_s.arg(group));
    }

    const QJsonObject content = catalog.content();
    const auto account = CatalogLookup::account(content, parameters.at(0));
    if (!account) {
        return StoreAnswer::failure(u"Unknown customer e-mail"_s);
    }
    if (auto answer = CatalogLookup::scripted(*account, request.requestType)) {
        return *answer;
    }
    const QString &name = parameters.at(2);
    const auto product = requestedProduct(content, productId, name);
    if (!product) {
        return StoreAnswer::failure(u"Unknown product %1 \"%2\""_s.arg(QString::number(productId), name));
    }
    if (!CatalogLookup::owns(*account, *product)) {
        return StoreAnswer::failure(u"The customer does not own \"%1\""_s.arg(name));
    }
    // The app derives p7 from the same record, so a mismatch is a fault of the app worth showing.
    const bool isGroup = !product->value(u"children"_s).toArray().isEmpty();
    if ((group == u"true"_s) != isGroup) {
        return StoreAnswer::failure(
            u"p7 is \"%1\" but \"%2\" is %3 group"_s.arg(group, name, isGroup ? u"a"_s : u"no"_s));
    }
    if (auto answer = CatalogLookup::scripted(*product, request.requestType)) {
        return *answer;
    }
    const QJsonValue download = product->value(u"download"_s);
    if (!download.isObject()) {
        return StoreAnswer::failure(u"The catalog has no download for \"%1\""_s.arg(name));
    }
    const QString files = catalog.filesDirectory();
    return StoreAnswer::object(
        {{u"status"_s, true},
         {u"msg"_s, u"Download information"_s},
         {u"templateData"_s,
          templateEntries(download[u"templateData"_s].toObject(), parameters.at(3), files, request.storeUrl)},
         {u"compositeData"_s, compositeEntries(download[u"compositeData"_s], files, request.storeUrl)},
         {u"notAutomaticKill"_s, content.value(u"notAutomaticKill"_s).toArray()}});
}

StoreAnswer DownloadRequests::customLuts(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 1) {
        return StoreAnswer::failure(
            u"appleCustomLut takes p2 (the product id), got %1 parameters"_s.arg(request.parameters.size()));
    }
    bool isNumber = false;
    const qint64 productId = request.parameters.at(0).toLongLong(&isNumber);
    if (!isNumber) {
        return StoreAnswer::failure(u"p2 must be a product id in decimal, got \"%1\""_s.arg(request.parameters.at(0)));
    }
    const auto product = CatalogLookup::product(catalog.content(), productId);
    if (!product) {
        return StoreAnswer::failure(u"Unknown product %1"_s.arg(productId));
    }
    if (auto answer = CatalogLookup::scripted(*product, request.requestType)) {
        return *answer;
    }
    QJsonArray data;
    for (const auto &lut : product->value(u"customLuts"_s).toArray()) {
        // An address is the usual entry; anything else goes out as stored, to hand the app odd entries.
        const QJsonValue entry = lut.isString() ? QJsonValue(QJsonObject{{u"url"_s, lut}}) : lut;
        data.append(CatalogLookup::withStoreUrl(entry, request.storeUrl));
    }
    return StoreAnswer::object({{u"status"_s, true}, {u"msg"_s, u"Custom LUTs"_s}, {u"data"_s, data}});
}

} // namespace klv::storeservice
