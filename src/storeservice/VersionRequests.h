#pragma once

#include <QString>

#include "storeservice/Catalog.h"
#include "storeservice/DecodedRequest.h"
#include "storeservice/RequestRouter.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// The app's own version ("getProductVersion" for the app's product number, 945391 in p2): the catalog's top-level
// "appVersion", passed on whatever its type, and left out when the catalog has none. The catalog's top-level
// "answers" may script the answer, to send what a real store should not.
class VersionRequests final {
public:
    static void registerWith(RequestRouter &router, const QString &endpoint);

private:
    static StoreAnswer productVersion(const DecodedRequest &request, Catalog &catalog);
};

} // namespace klv::storeservice
