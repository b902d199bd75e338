#pragma once

#include "core/Error.h"

#include "library/InstalledProducts.h"
#include "library/InstalledStateDetector.h"
#include "library/LibraryFilter.h"
#include "library/OutlineViewItem.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace klv {

class Services;
struct StoreResponse;

// The customer's library: the cached list from the last run, the working list, and the rows the library view
// shows. Asks the store for the commit number and downloads the library when it changed.
class ProductLibrary final : public QObject {
    Q_OBJECT
public:
    enum class RefreshOutcome {
        // The commit number matched: the cached library stays, with freshly detected states.
        unchanged,
        downloaded,
        // The store answered "no"; the library stays as it was.
        refused,
        // No answer or an unreadable one; the library stays as it was.
        noAnswer,
    };
    Q_ENUM(RefreshOutcome)

    explicit ProductLibrary(Services &services, CreationDateReader creationDate = fileCreationDate,
                            QObject *parent = nullptr);

    const QList<OutlineViewItem> &cachedProducts() const { return m_cachedProducts; }
    const QList<OutlineViewItem> &libraryProducts() const { return m_libraryProducts; }
    const ShownProducts &displayedProducts() const { return m_displayedProducts; }
    const InstalledProducts &installedProducts() const { return m_installed; }
    // Changes whenever libraryProducts is replaced as a whole; states changing in place leave it. What is derived
    // from the records' names and order (a group's members) holds as long as it stays the same.
    quint64 libraryRevision() const { return m_libraryRevision; }
    LibraryViewSettings viewSettings;

    // Reads the product cache; on success the library shows it with its stored states.
    bool loadProductCache();
    void requestProductCommitNumber();
    // Reloads the library from the store whatever its commit number; the cached library and the picture map are
    // forgotten once the new library has arrived, and kept when it does not. Refused (false) while an installation
    // job is queued. "Cache Cleared" is said once the store answers; when it cannot be reached, refreshFinished
    // says so and, with retryClearingEvery(), clearing is tried again until the store answers.
    bool clearCaches();
    void retryClearingEvery(std::chrono::milliseconds interval);
    // Sign-out: the library in memory goes with the files.
    void forgetLibrary();
    // Recomputes displayedProducts from viewSettings and the lists.
    void applyLibraryFilter();
    // Updates installed states of the named products and their groups; the cache is rewritten on change, and why
    // it could not be is returned: until it is, the next start shows the states as they were.
    Error detectInstalledStates(const QHash<QString, qint64> &nameMap);
    // Every product's installed and update states again, from the files alone, and the shown rows with them.
    Error redetectInstalledStates();
    // A job just placed the store's current release of the product: it has no update any more.
    Error noteLatestReleaseInstalled(const QString &name, qint64 number);
    void setInstallationQueueBusyQuery(std::function<bool()> isBusy);

Q_SIGNALS:
    // The message says why the library could not be had, or, after a download, what went wrong storing it.
    void refreshFinished(klv::ProductLibrary::RefreshOutcome outcome, const QString &message);
    void displayedProductsChanged();
    // The My Products section has a library to show (true) or has none (false).
    void myProductsAvailable(bool available);
    // A fresh library was stored; pictures already on disk can be registered for it.
    void libraryStored();

private:
    void handleCommitNumberAnswer(const StoreResponse &response, const QString &requestUrl);
    void requestCustomerProducts();
    void handleLibraryAnswer(StoreResponse response, const QString &requestUrl);
    std::optional<QJsonObject> readAnswer(const StoreResponse &response, const QString &requestUrl);
    // Writes the product cache; the error text when it could not be written whole.
    Error storeLibrary();
    void forgetPictureMap();
    void setLibraryProducts(QList<OutlineViewItem> products);
    void fail(RefreshOutcome outcome, const QString &message);

    Services &m_services;
    InstalledProducts m_installed;
    InstalledStateDetector m_detector;
    std::function<bool()> m_isInstallationQueueBusy;
    QList<OutlineViewItem> m_cachedProducts;
    QList<OutlineViewItem> m_libraryProducts;
    quint64 m_libraryRevision = 0;
    ShownProducts m_displayedProducts;
    // m_cachedProducts is the library of the stored commit number (read from the cache or written to it).
    bool m_hasLibraryOfStoredCommit = false;
    bool m_clearingCaches = false;
    QTimer m_clearingRetry;
    bool m_hadLibraryBeforeClearing = false;
};

} // namespace klv
