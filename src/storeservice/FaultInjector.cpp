#include "storeservice/FaultInjector.h"

#include <utility>

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
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
    for (qsizetype i = 0; i < m_fixed.size(); ++i) {
        if (m_fixed[i].matches(path, requestType) && use(m_fixed[i], u"--fault %1"_s.arg(i))) {
            return m_fixed[i];
        }
    }
    const QJsonArray faults = m_catalog.content().value(u"faults"_s).toArray();
    {
        const std::scoped_lock lock(m_usesMutex);
        if (const QByteArray text = QJsonDocument(faults).toJson(QJsonDocument::Compact); text != m_countedFaults) {
            m_countedFaults = text;
            std::erase_if(m_uses, [](const auto &use) { return !use.first.startsWith(u"--fault"_s); });
        }
    }
    for (qsizetype i = 0; i < faults.size(); ++i) {
        QString error;
        const auto fault = Fault::fromJson(faults.at(i).toObject(), error);
        if (!fault) {
            qWarning().noquote() << u"klv-store: skipping faults[%1]: %2"_s.arg(i).arg(error);
        } else if (fault->matches(path, requestType) && use(*fault, u"faults[%1]"_s.arg(i))) {
            return fault;
        }
    }
    return std::nullopt;
}

bool FaultInjector::use(const Fault &fault, const QString &key) const {
    if (!fault.times()) {
        return true;
    }
    const std::scoped_lock lock(m_usesMutex);
    int &uses = m_uses[key];
    if (uses >= *fault.times()) {
        return false;
    }
    ++uses;
    return true;
}

} // namespace klv::storeservice
