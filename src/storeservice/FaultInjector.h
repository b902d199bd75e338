#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <httplib.h>

#include <QList>
#include <QString>
#include <QtGlobal>

#include "storeservice/Catalog.h"
#include "storeservice/Fault.h"

namespace klv::storeservice {

// The faults the store runs with: those given on the command line, then the catalog's "faults", read again with
// every request so a test switches them while the store runs. The first fault that matches a request is applied.
// An entry of the catalog that cannot be used is reported on standard error and skipped. A fault with "times" stops
// matching once it has applied that often; the counts start again when the catalog's faults change.
class FaultInjector final {
public:
    FaultInjector(Catalog &catalog, QList<Fault> fixed);
    Q_DISABLE_COPY_MOVE(FaultInjector)

    // Runs answer unless a fault for the request's path or for requestType (empty when there is none) replaces or
    // changes it.
    void serve(const httplib::Request &request, const QString &requestType, httplib::Response &response,
               const std::function<void(httplib::Response &)> &answer) const;

private:
    std::optional<Fault> find(const std::string &path, const QString &requestType) const;
    // Counts one use of the fault known by key; false when it has used up its times.
    bool use(const Fault &fault, const QString &key) const;

    Catalog &m_catalog;
    QList<Fault> m_fixed;
    // Requests are answered on several threads.
    mutable std::mutex m_usesMutex;
    mutable std::map<QString, int> m_uses;
    mutable QByteArray m_countedFaults;
};

} // namespace klv::storeservice
