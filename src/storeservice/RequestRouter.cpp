#include "storeservice/RequestRouter.h"

#include <utility>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

void RequestRouter::addEndpoint(const QString &path, const QByteArray &key) {
    m_endpoints.append({path, key});
}

void RequestRouter::addHandler(const QString &endpoint, const QString &requestType, Handler handler) {
    m_handlers.insert_or_assign({endpoint, requestType}, std::move(handler));
}

StoreAnswer RequestRouter::route(const DecodedRequest &request, Catalog &catalog) const {
    const auto handler = m_handlers.find({request.endpoint, request.requestType});
    if (handler != m_handlers.end()) {
        return handler->second(request, catalog);
    }
    for (const auto &[key, unused] : m_handlers) {
        if (key.second == request.requestType) {
            return StoreAnswer::failure(u"request type \"%1\" is served on %2, not on %3"_s.arg(
                request.requestType, key.first, request.endpoint));
        }
    }
    return StoreAnswer::failure(u"unknown request type \"%1\" on %2"_s.arg(request.requestType, request.endpoint));
}

} // namespace klv::storeservice
