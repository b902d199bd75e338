#include "library/ProductLibrary.h"

#include "library/LibraryAnswer.h"
#include "library/ProductCache.h"
#include "store/JsonDecoding.h"
#include "store/LenientJson.h"
#include "store/Services.h"
#include "store/StoreClient.h"

#include <QFile>
#include <QJsonDocument>

#include <utility>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

bool isSuccess(const QJsonObject &answer) {
    const QJsonValue status = answer.value("status"_L1);
    return status.isBool() && status.toBool();
}

} // namespace

ProductLibrary::ProductLibrary(Services &services, CreationDateReader creationDate, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_installed(services.locations(), services.reporter())
    , m_detector(m_installed, std::move(creationDate)) {
    m_clearingRetry.setSingleShot(true);
    connect(&m_clearingRetry, &QTimer::timeout, this, &ProductLibrary::clearCaches);
}

void ProductLibrary::retryClearingEvery(std::chrono::milliseconds interval) {
    m_clearingRetry.setInterval(interval);
}

void ProductLibrary::setInstallationQueueBusyQuery(std::function<bool()> isBusy) {
    m_isInstallationQueueBusy = std::move(isBusy);
}

bool ProductLibrary::loadProductCache() {
    std::optional<QList<OutlineViewItem>> cached = ProductCache::load(m_services.locations().productCacheFileURL);
    if (!cached)
        return false;
    if (m_cachedProducts.isEmpty())
        m_cachedProducts = std::move(*cached);
    else
        m_cachedProducts.append(std::move(*cached));
    setLibraryProducts(m_cachedProducts);
    m_hasLibraryOfStoredCommit = true;
    Q_EMIT myProductsAvailable(true);
    return true;
}

void ProductLibrary::requestProductCommitNumber() {
    Settings &settings = m_services.settings();
    settings.reloadStoredCommitID();
    // Without the library that belongs to it (no cache, a garbled one, or one being cleared) the stored number
    // must not stop the download.
    if (!m_hasLibraryOfStoredCommit)
        settings.treatStoredCommitIDAsUnknown();
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(
        StoreEndpoint::product, u"getProductCommitNumber"_s, {settings.userEmail}, this,
        [this, url](const StoreResponse &response) { handleCommitNumberAnswer(response, *url); });
}

std::optional<QJsonObject> ProductLibrary::readAnswer(const StoreResponse &response, const QString &requestUrl) {
    const Reporter &reporter = m_services.reporter();
    if (!response.hasBody) {
        reporter.appendLog(u"KLVApp_Error: While get Customer Product Info "_s + response.transportError);
        fail(RefreshOutcome::noAnswer, u"The store could not be reached: "_s + response.transportError);
        return std::nullopt;
    }
    std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_services.log());
    if (!answer) {
        reporter.appendLog(u"KLVApp_Error: Failed to convert the data object result from "_s +
                           m_services.store().endpointAddress(StoreEndpoint::product) + u" with url : "_s + requestUrl);
        fail(RefreshOutcome::noAnswer, u"The store's answer could not be read."_s);
    }
    return answer;
}

void ProductLibrary::handleCommitNumberAnswer(const StoreResponse &response, const QString &requestUrl) {
    const std::optional<QJsonObject> answer = readAnswer(response, requestUrl);
    if (!answer)
        return;
    if (!isSuccess(*answer)) {
        const QString message = json::toText(answer->value("msg"_L1)).value_or(u"Failed to get commit number"_s);
        m_services.reporter().appendLog(message);
        fail(RefreshOutcome::refused, u"The store refused the library check: "_s + message);
        return;
    }

    const QString commit = json::toText(answer->value("commitID"_L1)).value_or(u"Unknown commit number type"_s);
    Settings &settings = m_services.settings();
    if (commit != settings.storedCommitID) {
        // The stored value keeps the old number until the library has been processed, so a failed download
        // is retried at the next check.
        settings.storedCommitID = commit;
        m_services.reporter().appendLog(u"Request new Product Info as commit number not match "_s + commit);
        requestCustomerProducts();
        // Said only now that the store answers and the new library is on its way.
        if (m_clearingCaches)
            m_services.reporter().showAlert(u"Cache Cleared"_s,
                                            u"Please give the KLV App a moment to reload your data."_s, u"OK"_s);
        return;
    }

    m_clearingCaches = false;
    setLibraryProducts(m_cachedProducts);
    QString problem;
    if (const Error error = detectInstalledStates(productNameMap(m_cachedProducts))) {
        problem = u"The library could not be stored: "_s + *error;
        m_services.reporter().appendLog(problem);
    }
    applyLibraryFilter();
    Q_EMIT refreshFinished(RefreshOutcome::unchanged, problem);
}

void ProductLibrary::requestCustomerProducts() {
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(
        StoreEndpoint::product, u"secureCustomerProduct"_s, {m_services.settings().userEmail, u"3"_s}, this,
        [this, url](StoreResponse &&response) { handleLibraryAnswer(std::move(response), *url); });
}

void ProductLibrary::handleLibraryAnswer(StoreResponse response, const QString &requestUrl) {
    // Read a product at a time: a library of a quarter of a million products would take hundreds of megabytes as
    // one JSON tree.
    std::optional<LibraryAnswer> answer = response.hasBody ? LibraryAnswer::read(response.body) : std::nullopt;
    if (!answer) {
        // Says why the answer cannot be used; an answer it could read after all is still not a library.
        if (readAnswer(response, requestUrl))
            fail(RefreshOutcome::noAnswer, u"The store's answer could not be read."_s);
        return;
    }
    const Settings &settings = m_services.settings();
    LibraryAnswer &decoded = *answer;
    if (decoded.refusal) {
        m_services.reporter().appendLog(u"KLVApp_Error: While get sale tier 0. for email "_s + settings.userEmail +
                                        u", with error "_s + *decoded.refusal);
        fail(RefreshOutcome::refused, u"The store refused the library download: "_s + *decoded.refusal);
        return;
    }
    for (const QJsonObject &object : std::as_const(decoded.namelessObjects))
        m_services.reporter().showAlert(
            u"Alert"_s,
            u"KLVApp_Error: No product name? Error while get customer product info. Please contact us to resolve "
            u"this problem "_s +
                QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)),
            u"OK"_s);

    setLibraryProducts(std::move(decoded.products));
    m_detector.detectInstalledStates(m_libraryProducts, decoded.nameMap);
    m_detector.checkNeedUpdate(m_libraryProducts, decoded.latestReleases);
    if (std::exchange(m_clearingCaches, false))
        forgetPictureMap();
    // The commit number is stored only with the library it belongs to: when the cache cannot be written, the
    // stored number stays with the old cache and the next check downloads again.
    QString problem;
    if (const Error error = storeLibrary())
        problem = u"The library could not be stored: "_s + *error;
    else if (const Error settingsError = m_services.settings().saveSettings())
        problem = u"The library's commit number could not be stored: "_s + *settingsError;
    if (!problem.isEmpty())
        m_services.reporter().appendLog(problem);
    Q_EMIT myProductsAvailable(true);
    Q_EMIT libraryStored();
    applyLibraryFilter();
    Q_EMIT refreshFinished(RefreshOutcome::downloaded, problem);
}

Error ProductLibrary::detectInstalledStates(const QHash<QString, qint64> &nameMap) {
    if (m_detector.detectInstalledStates(m_libraryProducts, nameMap))
        return storeLibrary();
    return {};
}

Error ProductLibrary::noteLatestReleaseInstalled(const QString &name, qint64 number) {
    // Looked through without writing: the list shares its records with the cached one until a mark changes.
    bool changed = false;
    for (qsizetype i = 0; i < m_libraryProducts.size(); ++i) {
        const OutlineViewItem &record = m_libraryProducts.at(i);
        if (record.product_name == name && record.product_id == number && record.isNeedUpdate) {
            m_libraryProducts[i].isNeedUpdate = false;
            changed = true;
        }
    }
    if (changed)
        return storeLibrary();
    return {};
}

Error ProductLibrary::redetectInstalledStates() {
    // The process that changed the home stored what its jobs did to the update marks; the files say the rest.
    if (const std::optional<QList<OutlineViewItem>> stored =
            ProductCache::load(m_services.locations().productCacheFileURL)) {
        QHash<std::pair<qint64, QString>, bool> storedMarks;
        for (const OutlineViewItem &record : *stored)
            storedMarks.insert({record.product_id, record.product_name}, record.isNeedUpdate);
        for (qsizetype i = 0; i < m_libraryProducts.size(); ++i) {
            const OutlineViewItem &record = m_libraryProducts.at(i);
            if (const bool mark = storedMarks.value({record.product_id, record.product_name}, record.isNeedUpdate);
                mark != record.isNeedUpdate)
                m_libraryProducts[i].isNeedUpdate = mark;
        }
    }
    const Error stored = detectInstalledStates(productNameMap(m_libraryProducts));
    applyLibraryFilter();
    return stored;
}

Error ProductLibrary::storeLibrary() {
    Error error = ProductCache::save(m_services.locations().productCacheFileURL, m_libraryProducts);
    // The cached list follows the file, so an unchanged commit later shows the library that belongs to it.
    if (!error) {
        m_cachedProducts = m_libraryProducts;
        m_hasLibraryOfStoredCommit = true;
    }
    return error;
}

bool ProductLibrary::clearCaches() {
    if (m_isInstallationQueueBusy && m_isInstallationQueueBusy())
        return false;
    m_clearingRetry.stop();
    // The files stay until the new library has arrived: should the store not answer, the cached library is
    // still there to show.
    m_clearingCaches = true;
    m_hadLibraryBeforeClearing = std::exchange(m_hasLibraryOfStoredCommit, false);
    Q_EMIT myProductsAvailable(false);
    setLibraryProducts({});
    applyLibraryFilter();
    requestProductCommitNumber();
    return true;
}

void ProductLibrary::forgetLibrary() {
    m_clearingRetry.stop();
    m_cachedProducts.clear();
    setLibraryProducts({});
    m_hasLibraryOfStoredCommit = false;
    m_clearingCaches = false;
    Q_EMIT myProductsAvailable(false);
    applyLibraryFilter();
}

void ProductLibrary::forgetPictureMap() {
    // Pictures stay on disk; the map is rebuilt from the folder once the library is stored.
    m_services.productImageMap.clear();
    QFile map(m_services.locations().userDataFileURL);
    if (map.exists() && !map.remove())
        m_services.reporter().appendLog(u"KLV App error when clear cache:"_s + map.errorString());
}

void ProductLibrary::setLibraryProducts(QList<OutlineViewItem> products) {
    m_libraryProducts = std::move(products);
    ++m_libraryRevision;
}

void ProductLibrary::applyLibraryFilter() {
    m_displayedProducts = filterLibrary(viewSettings, m_libraryProducts, m_cachedProducts);
    Q_EMIT displayedProductsChanged();
}

void ProductLibrary::fail(RefreshOutcome outcome, const QString &message) {
    if (!std::exchange(m_clearingCaches, false)) {
        Q_EMIT refreshFinished(outcome, message);
        return;
    }
    // Nothing was forgotten: the library shows again as it was.
    m_hasLibraryOfStoredCommit = m_hadLibraryBeforeClearing;
    setLibraryProducts(m_cachedProducts);
    if (m_hasLibraryOfStoredCommit)
        Q_EMIT myProductsAvailable(true);
    applyLibraryFilter();
    if (outcome != RefreshOutcome::noAnswer) {
        Q_EMIT refreshFinished(outcome, message + u" The cache was kept."_s);
        return;
    }
    const bool retries = m_clearingRetry.interval() > 0;
    if (retries)
        m_clearingRetry.start();
    Q_EMIT refreshFinished(outcome, message + (retries ? u" The cache was kept; it is cleared and your library "
                                                         u"reloaded as soon as the store answers again."_s
                                                       : u" The cache was kept."_s));
}

} // namespace klv
