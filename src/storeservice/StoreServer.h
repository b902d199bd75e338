#pragma once

#include <memory>

#include <httplib.h>

#include <QList>
#include <QString>
#include <QtGlobal>

#include "storeservice/Catalog.h"
#include "storeservice/Fault.h"
#include "storeservice/FaultInjector.h"
#include "storeservice/FileRoute.h"
#include "storeservice/RequestLog.h"
#include "storeservice/RequestRouter.h"

namespace klv::storeservice {

// The HTTP(S) side of the store: one GET route per endpoint that opens the envelope, logs it and hands it to the
// router, plus the file route "/files/…". Every store answer is HTTP 200 with a JSON body, failures included, as the
// app expects from the real store, unless a fault says otherwise.
class StoreServer final {
public:
    // http is an httplib::Server, or an httplib::SSLServer for TLS; requestLog may be null; faults apply before
    // those of the catalog.
    StoreServer(std::unique_ptr<httplib::Server> http, Catalog &catalog, const RequestRouter &router,
                RequestLog *requestLog, QList<Fault> faults);
    Q_DISABLE_COPY_MOVE(StoreServer)

    // Port 0 picks a free port; url() then names the one bound. False when binding failed, for example because
    // another server listens on the port; bindError() then says why.
    bool bind(const QString &host, int port);
    const QString &bindError() const { return m_bindError; }
    // Scheme, host and bound port, for example "http://127.0.0.1:8765"; empty before bind().
    const QString &url() const { return m_url; }
    // Blocks until stop(); false when serving failed.
    bool serve();
    bool isServing() const;
    // Callable from any thread; has no effect before serve() has started.
    void stop();

private:
    void answer(const RequestRouter::Endpoint &endpoint, const httplib::Request &request,
                httplib::Response &response) const;
    // Where this client reached the store: its Host header, else the bound address.
    QString storeUrl(const httplib::Request &request) const;

    std::unique_ptr<httplib::Server> m_http;
    Catalog &m_catalog;
    const RequestRouter &m_router;
    RequestLog *m_requestLog;
    FileRoute m_files;
    FaultInjector m_faults;
    QString m_scheme;
    QString m_url;
    QString m_bindError;
};

} // namespace klv::storeservice
