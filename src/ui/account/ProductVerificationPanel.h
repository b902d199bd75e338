#pragma once

#include "library/InstallVerifier.h"

#include <QList>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace klv {
class AppContext;
class ProductVerification;
} // namespace klv

namespace klv::ui {

// "Verify installed products" on the account page: compares every installed product with what its installation
// placed, lists the products in which something differs, and repairs one with its own button (the whole package is
// downloaded; only the template folders, bundles, plug-ins or fonts that differ are replaced).
class ProductVerificationPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ProductVerificationPanel(AppContext &context, QWidget *parent = nullptr);

    QPushButton *verifyButton() const { return m_verifyButton; }

Q_SIGNALS:
    // A verification ended and its result is on screen.
    void resultShown();

private:
    void verify();
    void showChecks(const QList<ProductCheck> &checks);
    void repair(const ProductCheck &check);

    AppContext &m_context;
    ProductVerification *m_verification;
    QPushButton *m_verifyButton;
    QLabel *m_status;
    QWidget *m_results;
    QVBoxLayout *m_resultRows;
    // A repair was asked for: the products are verified again once the queue has run.
    bool m_verifyAfterRepair = false;
};

} // namespace klv::ui
