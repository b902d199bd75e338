#pragma once

#include <QString>

#include "storeservice/Catalog.h"
#include "storeservice/DecodedRequest.h"
#include "storeservice/RequestRouter.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// What the installation engine asks before it downloads: the packages of a product ("requestDownloadInfo", from the
// product's "download" object plus the catalog's "notAutomaticKill") and the custom LUTs that an uninstall removes
// ("appleCustomLut", from the product's "customLuts"). "{store}" in any text becomes the address the client reached
// the store at, and a package without "dlSize" gets the size of the file its link names. A template entry whose
// "minOSVersion" is newer than the client's system is refused the way the real store refuses it. Scripted "answers"
// of the account, then of the product, replace the answer for tests.
class DownloadRequests final {
public:
    static void registerWith(RequestRouter &router, const QString &endpoint);

private:
    static StoreAnswer downloadInfo(const DecodedRequest &request, Catalog &catalog);
    static StoreAnswer customLuts(const DecodedRequest &request, Catalog &catalog);
};

} // namespace klv::storeservice
