#pragma once

#include "library/InstallVerifier.h"
#include "library/OutlineViewItem.h"

#include <QList>
#include <QObject>

namespace klv {

class ProductLibrary;
class Services;

// Verifies installed products against their manifests on a worker, for both front ends: the account page's
// "Verify installed products" and `klv verify` / `klv repair`.
class ProductVerification final : public QObject {
    Q_OBJECT
public:
    ProductVerification(Services &services, ProductLibrary &library, QObject *parent = nullptr);

    // The products a verification covers: the named ones (a group by its members), or, with none named, every
    // installed product and every product of the library that has a manifest.
    QList<OutlineViewItem> productsToVerify(const QList<OutlineViewItem> &named) const;
    // One run at a time; finished() follows.
    void start(const QList<OutlineViewItem> &products, InstallVerifier::Depth depth);
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    // In the order the products were given.
    void finished(const QList<klv::ProductCheck> &checks);

private:
    Services &m_services;
    ProductLibrary &m_library;
    bool m_running = false;
};

} // namespace klv
