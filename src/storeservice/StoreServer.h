#pragma once

#include <memory>
#include <optional>

#include <httplib.h>

#include <QString>
#include <QtGlobal>

#include "Catalog.h"
#include "FileRoute.h"
#include "RequestLog.h"
#include "RequestRouter.h"

namespace klv::storeservice {

// The HTTP(S) side of the store: one GET route per endpoint that opens the envelope, logs it and hands it to the
// router, plus the file route "/files/…". Every store answer is HTTP 200 with a JSON body, failures included, as the
// app expects from the real store.
class StoreServer final {
public:
    // http is an httplib::Server, or an httplib::SSLServer for TLS; requestLog may be null.
    StoreServer(std::unique_ptr<httplib::Server> http, Catalog &catalog, const RequestRouter &router,
                RequestLog *requestLog);
    Q_DISABLE_COPY_MOVE(StoreServer)

    // Port 0 picks a free port. The bound port, or nothing when binding failed.
    std::optional<int> bind(const QString &host, int port);
    // Blocks until stop(); false when serving failed.
    bool serve();
    bool isServing() const;
    // Callable from any thread; has no effect before serve() has started.
    void stop();

private:
    void answer(const RequestRouter::Endpoint &endpoint, const httplib::Request &request,
                httplib::Response &response) const;

    std::unique_ptr<httplib::Server> m_http;
    Catalog &m_catalog;
    const RequestRouter &m_router;
    RequestLog *m_requestLog;
    FileRoute m_files;
};

} // namespace klv::storeservice
