#include "FaultInjector.h"

#include <utility>

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

FaultInjector::FaultInjector(Catalog &catalog, QList<Fault> fixed)
    : m_catalog(catalog)
    , m_fixed(std::move(fixed)) {}

void FaultInjector::serve(const httplib::Request &request, const QString &requestType, httplib::Response &response,
                          const std::function<void(httplib::Response &)> &answer) const {
    if (const auto fault = find(request.path, requestType)) {
        fault->apply(request, response, answer);
    } else {
        answer(response);
    }
}

std::optional<Fault> FaultInjector::find(const std::string &path, const QString &requestType) const {
    for (const Fault &fault : m_fixed) {
        if (fault.matches(path, requestType)) {
            return fault;
        }
    }
    const QJsonArray faults = m_catalog.content().value(u"faults"_s).toArray();
    for (qsizetype i = 0; i < faults.size(); ++i) {
        QString error;
        const auto fault = Fault::fromJson(faults.at(i).toObject(), error);
        if (!fault) {
            qWarning().noquote() << u"klv-store: skipping faults[%1]: %2"_s.arg(i).arg(error);
        } else if (fault->matches(path, requestType)) {
            return fault;
        }
    }
    return std::nullopt;
}

} // namespace klv::storeservice
