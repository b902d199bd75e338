#pragma once

#include "library/OnSaleProductInfo.h"
#include "library/ProductEnums.h"

#include <QList>
#include <QWidget>

namespace klv {
class AppContext;
}

class QLabel;

namespace klv::ui {

class MarketingProductModel;
class MarketingRowDelegate;
class MarketingTableView;
class RewardTierDelegate;
class RewardTierModel;
class RewardsPanel;

// The view behind the sale, free and rewards sections: one table that lists the sale or the free products, or,
// under the rewards panel, the ten reward tiers. The lists follow the core while the window stays open.
class MarketingViewScript final : public QWidget {
    Q_OBJECT
public:
    MarketingViewScript(AppContext &context, QWidget *parent = nullptr);

    void showMarketingSection(appMenuIndex section);
    appMenuIndex currentDetailView() const { return m_currentDetailView; }
    const QList<OnSaleProductInfo> &displaySaleList() const;

    MarketingTableView &tableView() const { return *m_tableView; }
    QWidget &tableContainer() const { return *m_tableContainerView; }
    RewardsPanel &rewardsPanel() const { return *m_rewardsPanel; }

Q_SIGNALS:
    // "View" was pressed on a product's row.
    void productViewRequested(const klv::OnSaleProductInfo &product);

private:
    void showProducts(const QList<OnSaleProductInfo> &products);
    void refreshRewardsPanel();
    void pressRowButton(const QModelIndex &index);

    AppContext &m_context;
    appMenuIndex m_currentDetailView = appMenuIndex::logintMenu;
    RewardsPanel *m_rewardsPanel;
    QLabel *m_freeHeader = nullptr;
    QWidget *m_tableContainerView;
    MarketingTableView *m_tableView;
    MarketingProductModel *m_productModel;
    MarketingRowDelegate *m_productDelegate;
    RewardTierModel *m_tierModel;
    RewardTierDelegate *m_tierDelegate;
};

} // namespace klv::ui
