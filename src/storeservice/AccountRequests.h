#pragma once

#include <QString>

#include "storeservice/Catalog.h"
#include "storeservice/DecodedRequest.h"
#include "storeservice/RequestRouter.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// Sign-in with user name and password ("userLogin") or with a link code from the store's web site ("linkCode"),
// answered from the catalog's "accounts". Values are compared exactly as sent: no trimming, no case folding.
// An account with an "answer" gets that answer instead of the usual success, to script bad answers for tests.
class AccountRequests final {
public:
    static void registerWith(RequestRouter &router, const QString &endpoint);

private:
    static StoreAnswer userLogin(const DecodedRequest &request, Catalog &catalog);
    static StoreAnswer linkCode(const DecodedRequest &request, Catalog &catalog);
    static StoreAnswer signedIn(const QJsonObject &account);
};

} // namespace klv::storeservice
