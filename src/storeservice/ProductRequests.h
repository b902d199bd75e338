#pragma once

#include <QString>

#include "storeservice/Catalog.h"
#include "storeservice/DecodedRequest.h"
#include "storeservice/RequestRouter.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// The customer's library: the catalog's commit number ("getProductCommitNumber") and the products the customer owns
// ("secureCustomerProduct"), both for the account whose "email" is p2. An account's "products" lists product numbers;
// each picks every catalog product with that "product_id", sent as stored except that "{store}" in its picture
// address becomes the address the client reached the store at. An account's "answers" may script the answer per
// request type, to send what a real store should not.
class ProductRequests final {
public:
    static void registerWith(RequestRouter &router, const QString &endpoint);

private:
    static StoreAnswer commitNumber(const DecodedRequest &request, Catalog &catalog);
    static StoreAnswer customerProducts(const DecodedRequest &request, Catalog &catalog);
};

} // namespace klv::storeservice
