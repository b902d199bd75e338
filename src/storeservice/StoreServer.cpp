#include "storeservice/StoreServer.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <netinet/in.h>
#include <sys/socket.h>

#include <QFile>
#include <QFileInfo>

#include "storeservice/EnvelopeDecoder.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

// With its charset named, cpp-httplib leaves the answer uncompressed: brotli at its top quality takes minutes over
// the library of a quarter of a million products, and loopback gains nothing from it.
constexpr const char *jsonContentType = "application/json; charset=utf-8";

} // namespace

StoreServer::StoreServer(std::unique_ptr<httplib::Server> http, Catalog &catalog, const RequestRouter &router,
                         RequestLog *requestLog, QList<Fault> faults)
    : m_http(std::move(http))
    , m_catalog(catalog)
    , m_router(router)
    , m_requestLog(requestLog)
    , m_files(catalog.filesDirectory())
    , m_faults(catalog, std::move(faults))
    , m_scheme(dynamic_cast<httplib::SSLServer *>(m_http.get()) ? u"https"_s : u"http"_s) {
    // httplib also sets SO_REUSEPORT, with which a second store on the same port binds too and takes part of the
    // traffic. SO_REUSEADDR alone still allows a restart while old connections linger, but one listener per port.
    m_http->set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // An answer goes out as headers, then body: with Nagle's algorithm the body waited for the client's delayed
    // acknowledgement of the headers, 40 ms on Linux, on every request of a kept-alive connection.
    m_http->set_tcp_nodelay(true);
    // Stopping waits until every idle kept-alive connection has timed out: a second rather than httplib's five, so
    // that a store stopped while a client holds a connection open is gone before the client's next look.
    m_http->set_keep_alive_timeout(1);
    // Endpoint paths are plain letters, "-" and "/", so they match themselves as patterns.
    for (const auto &endpoint : m_router.endpoints()) {
        m_http->Get(endpoint.path.toStdString(),
                    [this, endpoint](const httplib::Request &request, httplib::Response &response) {
                        answer(endpoint, request, response);
                    });
    }
    // The store's web pages (featured page, tutorials, product pages) for the window's web views and the browser.
    if (const QString site = catalog.siteDirectory(); QFileInfo(site).isDir())
        m_http->set_mount_point("/", QFile::encodeName(site).toStdString());
    m_http->Get("/files/(.*)", [this](const httplib::Request &request, httplib::Response &response) {
        m_faults.serve(request, {}, response,
                       [&](httplib::Response &answer) { m_files.serve(request, request.matches[1].str(), answer); });
    });
}

bool StoreServer::bind(const QString &host, int port) {
    const std::string address = host.toStdString();
    errno = 0;
    const int bound = port == 0 ? m_http->bind_to_any_port(address) : (m_http->bind_to_port(address, port) ? port : 0);
    if (bound <= 0) {
        m_bindError = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : u"the address cannot be used"_s;
        return false;
    }
    const QString urlHost = host.contains(u':') ? u'[' + host + u']' : host;
    m_url = m_scheme + u"://"_s + urlHost + u':' + QString::number(bound);
    return true;
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
    const EnvelopeDecoder envelope(endpoint.path, endpoint.key, request.params);
    if (envelope.isValid() && m_requestLog) {
        m_requestLog->append(envelope.request());
    }
    const QString requestType = envelope.isValid() ? envelope.request().requestType : QString();
    m_faults.serve(request, requestType, response, [&](httplib::Response &answer) {
        if (!envelope.isValid()) {
            answer.set_content(StoreAnswer::failure(envelope.errorString()).body().toStdString(), jsonContentType);
            return;
        }
        DecodedRequest decoded = envelope.request();
        decoded.storeUrl = storeUrl(request);
        answer.set_content(m_router.route(decoded, m_catalog).body().toStdString(), jsonContentType);
    });
}

QString StoreServer::storeUrl(const httplib::Request &request) const {
    const std::string host = request.get_header_value("Host");
    return host.empty() ? m_url : m_scheme + u"://"_s + QString::fromStdString(host);
}

} // namespace klv::storeservice
