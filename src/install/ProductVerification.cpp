#include "install/ProductVerification.h"

#include "install/WorkerTask.h"
#include "library/GroupMembers.h"
#include "library/InstallManifest.h"
#include "library/ProductLibrary.h"
#include "store/Services.h"

#include <QFileInfo>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

struct Work {
    OutlineViewItem record;
    // The product's name as its jobs and manifest carry it: without the maker's prefix.
    QString product;
    QStringList installedItems;
};

} // namespace

ProductVerification::ProductVerification(Services &services, ProductLibrary &library, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_library(library) {}

QList<OutlineViewItem> ProductVerification::productsToVerify(const QList<OutlineViewItem> &named) const {
    const QList<OutlineViewItem> &library = m_library.libraryProducts();
    const QString makerFolder = m_services.locations().vantoryFolderURL;
    QList<OutlineViewItem> products;
    const auto add = [&products](const OutlineViewItem &record) {
        if (!products.contains(record))
            products.append(record);
    };
    if (named.isEmpty()) {
        for (const OutlineViewItem &record : library) {
            const QString product = QString(record.product_name).remove(u"Vantory - "_s);
            if (!record.isGroup() &&
                (record.isInstalled || QFileInfo::exists(InstallManifest::pathFor(makerFolder, product))))
                add(record);
        }
        return products;
    }
    for (const OutlineViewItem &record : named) {
        if (!record.isGroup()) {
            add(record);
            continue;
        }
        for (const QString &member : record.children) {
            if (const std::optional<qsizetype> found = findGroupMember(library, member))
                add(library[*found]);
        }
    }
    return products;
}

void ProductVerification::start(const QList<OutlineViewItem> &products, InstallVerifier::Depth depth) {
    m_running = true;
    QList<Work> work;
    const InstalledProducts &installed = m_library.installedProducts();
    for (const OutlineViewItem &record : products) {
        const QString product = QString(record.product_name).remove(u"Vantory - "_s);
        work.append({record, product, installed.installedItems(product)});
    }
    runOnWorker(
        this,
        [work, depth, verifier = InstallVerifier(m_services.locations().vantoryFolderURL)] {
            QList<ProductCheck> checks;
            for (const Work &item : work)
                checks.append(verifier.verify(item.product, item.record.product_id, item.record.latestRelease,
                                              item.installedItems, depth));
            return checks;
        },
        [this](const QList<ProductCheck> &checks) {
            m_running = false;
            Q_EMIT finished(checks);
        });
}

} // namespace klv
