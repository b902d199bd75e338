#include "storeservice/VersionRequests.h"

#include "storeservice/CatalogLookup.h"

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

const QString appProductId = u"945391"_s;

} // namespace

void VersionRequests::registerWith(RequestRouter &router, const QString &endpoint) {
    router.addHandler(endpoint, u"getProductVersion"_s, &VersionRequests::productVersion);
}

StoreAnswer VersionRequests::productVersion(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 1) {
        return StoreAnswer::failure(
            u"getProductVersion takes p2 (the product number), got %1 parameters"_s.arg(request.parameters.size()));
    }
    if (request.parameters.at(0) != appProductId) {
        return StoreAnswer::failure(u"No version is kept for product %1"_s.arg(request.parameters.at(0)));
    }
    const QJsonObject content = catalog.content();
    if (auto answer = CatalogLookup::scripted(content, request.requestType)) {
        return *answer;
    }
    QJsonObject answer{{u"status"_s, true}, {u"msg"_s, u"Product version"_s}};
    if (content.contains(u"appVersion"_s)) {
        answer.insert(u"version"_s, content.value(u"appVersion"_s));
    }
    if (content.contains(u"appSha256"_s)) {
        answer.insert(u"sha256"_s, content.value(u"appSha256"_s));
    }
    return StoreAnswer::object(answer);
}

} // namespace klv::storeservice
