#include "StoreServer.h"

#include <utility>

#include "RequestEnvelope.h"
#include "StoreAnswer.h"

namespace klv::storeservice {

StoreServer::StoreServer(std::unique_ptr<httplib::Server> http, Catalog &catalog, const RequestRouter &router,
                         RequestLog *requestLog)
    : m_http(std::move(http))
    , m_catalog(catalog)
    , m_router(router)
    , m_requestLog(requestLog)
    , m_files(catalog.filesDirectory()) {
    // Endpoint paths are plain letters, "-" and "/", so they match themselves as patterns.
    for (const auto &endpoint : m_router.endpoints()) {
        m_http->Get(endpoint.path.toStdString(),
                    [this, endpoint](const httplib::Request &request, httplib::Response &response) {
                        answer(endpoint, request, response);
                    });
    }
    m_http->Get("/files/(.*)", [this](const httplib::Request &request, httplib::Response &response) {
        m_files.serve(request.matches[1].str(), response);
    });
}

std::optional<int> StoreServer::bind(const QString &host, int port) {
    const std::string address = host.toStdString();
    if (port == 0) {
        const int bound = m_http->bind_to_any_port(address);
        return bound > 0 ? std::optional(bound) : std::nullopt;
    }
    return m_http->bind_to_port(address, port) ? std::optional(port) : std::nullopt;
}

bool StoreServer::serve() {
    return m_http->listen_after_bind();
}

bool StoreServer::isServing() const {
    return m_http->is_running();
}

void StoreServer::stop() {
    m_http->stop();
}

void StoreServer::answer(const RequestRouter::Endpoint &endpoint, const httplib::Request &request,
                         httplib::Response &response) const {
    const RequestEnvelope envelope(endpoint.path, endpoint.key, request.params);
    if (!envelope.isValid()) {
        response.set_content(StoreAnswer::failure(envelope.errorString()).body().toStdString(), "application/json");
        return;
    }
    if (m_requestLog) {
        m_requestLog->append(envelope.request());
    }
    response.set_content(m_router.route(envelope.request(), m_catalog).body().toStdString(), "application/json");
}

} // namespace klv::storeservice
