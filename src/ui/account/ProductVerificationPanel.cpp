#include "account/ProductVerificationPanel.h"

#include "style/StockWidgets.h"
#include "style/Theme.h"

#include "app/AppContext.h"
#include "app/InstallationTurn.h"
#include "install/InstallationEngine.h"
#include "install/ProductVerification.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace klv::ui {

using namespace Qt::StringLiterals;

ProductVerificationPanel::ProductVerificationPanel(AppContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_verification(new ProductVerification(context.services(), context.library(), this))
    , m_verifyButton(makeButton(tr("Verify"), "secondary", this))
    , m_status(makeLabel({}, NamedColor::textSecondary, this))
    , m_results(new QWidget(this))
    , m_resultRows(new QVBoxLayout(m_results)) {
    m_verifyButton->setAccessibleName(tr("Verify installed products"));
    m_verifyButton->setMinimumWidth(130);
    m_status->setWordWrap(true);
    m_status->setVisible(false);
    m_resultRows->setContentsMargins(0, 0, 0, 0);
    m_resultRows->setSpacing(4);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(makeLabel(tr("Verify installed products"), NamedColor::textPrimary, this, NamedFont::rowTitle));
    texts->addWidget(
        makeLabel(tr("Check that no installed file is missing or changed."), NamedColor::textSecondary, this));
    auto *heading = new QHBoxLayout;
    heading->addLayout(texts, 1);
    heading->addWidget(m_verifyButton, 0, Qt::AlignVCenter);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addLayout(heading);
    layout->addWidget(m_status);
    layout->addWidget(m_results);

    connect(m_verifyButton, &QPushButton::clicked, this, &ProductVerificationPanel::verify);
    connect(m_verification, &ProductVerification::finished, this, &ProductVerificationPanel::showChecks);
    connect(&m_context.installationEngine(), &InstallationEngine::queueFinished, this, [this] {
        if (std::exchange(m_verifyAfterRepair, false))
            verify();
    });
}

void ProductVerificationPanel::verify() {
    if (m_verification->isRunning())
        return;
    m_verifyButton->setEnabled(false);
    m_status->setText(tr("Verifying…"));
    m_status->setVisible(true);
    m_verification->start(m_verification->productsToVerify({}), InstallVerifier::Depth::full);
}

void ProductVerificationPanel::showChecks(const QList<ProductCheck> &checks) {
    m_verifyButton->setEnabled(true);
    while (QLayoutItem *item = m_resultRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    qsizetype damaged = 0;
    qsizetype baselines = 0;
    qsizetype unreadable = 0;
    for (const ProductCheck &check : checks) {
        baselines += check.baselineTaken && !check.recordUnreadable ? 1 : 0;
        unreadable += check.baselineTaken && check.recordUnreadable ? 1 : 0;
        if (check.intact() || check.unknown)
            continue;
        ++damaged;
        auto *row = new QWidget(m_results);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        const QString summary = tr("%1: %2 missing, %3 changed, %4 extra")
                                    .arg(check.product)
                                    .arg(check.missing.size())
                                    .arg(check.changed.size())
                                    .arg(check.extra.size());
        auto *text = makeLabel(summary, NamedColor::textPrimary, row);
        text->setWordWrap(true);
        text->setToolTip((check.missing + check.changed + check.extra).mid(0, 20).join(u'\n'));
        auto *repairButton = makeButton(tr("Repair"), "secondary", row);
        repairButton->setAccessibleName(tr("Repair %1").arg(check.product));
        connect(repairButton, &QPushButton::clicked, this, [this, check, repairButton] {
            repairButton->setEnabled(false);
            repair(check);
        });
        rowLayout->addWidget(text, 1);
        rowLayout->addWidget(repairButton);
        m_resultRows->addWidget(row);
    }
    QString status = damaged == 0 ? tr("All %n installed products are whole.", nullptr, int(checks.size()))
                                  : tr("%n product(s) differ from what was installed.", nullptr, int(damaged));
    if (baselines > 0)
        status += u' ' + tr("%n product(s) had no record yet: a baseline was taken.", nullptr, int(baselines));
    if (unreadable > 0)
        status += u' ' + tr("%n product(s) had a record that could not be read: a new baseline was taken, so earlier "
                            "changes cannot be told.",
                            nullptr, int(unreadable));
    m_status->setText(status);
    Q_EMIT resultShown();
}

void ProductVerificationPanel::repair(const ProductCheck &check) {
    const std::optional<OutlineViewItem> record = [&]() -> std::optional<OutlineViewItem> {
        for (const OutlineViewItem &item : m_context.library().libraryProducts()) {
            if (!item.isGroup() && QString(item.product_name).remove(u"Vantory - "_s) == check.product)
                return item;
        }
        return std::nullopt;
    }();
    if (!record || !m_context.productActions().confirmInstall())
        return;
    // The turn gives the queue back once the repair, and whatever else the window started, has ended.
    if (!m_context.installationTurn().takeNow()) {
        m_status->setText(tr("Another program is installing or removing products in this home; repair %1 when it "
                             "is done.")
                              .arg(check.product));
        return;
    }
    m_verifyAfterRepair = true;
    m_status->setText(tr("Repairing %1…").arg(check.product));
    m_context.installationEngine().requestRepair(*record, check.damagedItems);
}

} // namespace klv::ui
