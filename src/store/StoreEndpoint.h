#pragma once

#include <QString>

namespace klv {

// The store's three services; each one has a fixed path and its own request key.
enum class StoreEndpoint { accountInfo, product, marketing };

QString endpointPath(StoreEndpoint endpoint);

} // namespace klv
