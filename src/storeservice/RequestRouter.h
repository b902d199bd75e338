#pragma once

#include <functional>
#include <map>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QString>

#include "storeservice/Catalog.h"
#include "storeservice/DecodedRequest.h"
#include "storeservice/StoreAnswer.h"

namespace klv::storeservice {

// Which handler answers which request type on which endpoint. Each area of the store (accounts, products,
// marketing, …) registers its handlers; everything is set up before the server starts and only read afterwards.
class RequestRouter final {
public:
    using Handler = std::function<StoreAnswer(const DecodedRequest &, Catalog &)>;

    struct Endpoint {
        QString path;
        QByteArray key;
    };

    void addEndpoint(const QString &path, const QByteArray &key);
    void addHandler(const QString &endpoint, const QString &requestType, Handler handler);

    const QList<Endpoint> &endpoints() const { return m_endpoints; }
    StoreAnswer route(const DecodedRequest &request, Catalog &catalog) const;

private:
    QList<Endpoint> m_endpoints;
    std::map<std::pair<QString, QString>, Handler> m_handlers;
};

} // namespace klv::storeservice
