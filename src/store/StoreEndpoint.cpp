#include "store/StoreEndpoint.h"

namespace klv {

QString endpointPath(StoreEndpoint endpoint) {
    switch (endpoint) {
    case StoreEndpoint::accountInfo:
        return QStringLiteral("/appsecureaccountinfo/");
    case StoreEndpoint::product:
        return QStringLiteral("/klv-app-product/");
    case StoreEndpoint::marketing:
        return QStringLiteral("/klv-app-marketing/");
    }
    Q_UNREACHABLE();
}

} // namespace klv
