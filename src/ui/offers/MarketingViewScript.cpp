#include "offers/MarketingViewScript.h"

#include "app/AppContext.h"
#include "marketing/MarketingCenter.h"
#include "marketing/Rewards.h"
#include "offers/MarketingProductModel.h"
#include "offers/MarketingRowDelegate.h"
#include "offers/MarketingTableView.h"
#include "offers/RewardTierDelegate.h"
#include "offers/RewardTierModel.h"
#include "offers/RewardsPanel.h"
#include "style/FormStyle.h"
#include "style/Theme.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {
constexpr int productPictureColumnWidth = 112;
constexpr int productActionColumnWidth = 140;
// The tier table's columns start under the rewards bar's headings.
constexpr int thresholdColumnWidth = 120;
constexpr int copyColumnWidth = 92;
constexpr int copiedNoteMs = 1500;
} // namespace

MarketingViewScript::MarketingViewScript(AppContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_rewardsPanel(new RewardsPanel(context.rewards(), this))
    , m_tableContainerView(new QWidget(this))
    , m_tableView(new MarketingTableView(m_tableContainerView))
    , m_productModel(new MarketingProductModel(context.productImages(), this))
    , m_productDelegate(new MarketingRowDelegate(*m_productModel, *m_tableView, this))
    , m_tierModel(new RewardTierModel(context.rewards(), this))
    , m_tierDelegate(new RewardTierDelegate(*m_tierModel, *m_tableView, this)) {
    setObjectName(u"marketingView"_s);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, theme::color(NamedColor::backgroundSecondary));
    setPalette(palette);
    m_tableContainerView->setObjectName(u"tableView_ContainerView"_s);
    // The free products have no banner of their own: a title inside the table's container says what the list
    // is, so the container keeps the section's full height.
    m_freeHeader = new QLabel(tr("Free Products"), m_tableContainerView);
    m_freeHeader->setObjectName(u"freeProductsTitle"_s);
    setLook(*m_freeHeader, "listTitle");
    m_freeHeader->hide();
    auto *containerLayout = new QVBoxLayout(m_tableContainerView);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    containerLayout->setSpacing(0);
    containerLayout->addWidget(m_freeHeader);
    containerLayout->addWidget(m_tableView);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_rewardsPanel);
    layout->addWidget(m_tableContainerView, 1);
    m_rewardsPanel->hide();

    connect(m_productDelegate, &PaintedButtonDelegate::buttonClicked, this, &MarketingViewScript::pressRowButton);
    connect(m_tierDelegate, &PaintedButtonDelegate::buttonClicked, this, &MarketingViewScript::pressRowButton);
    connect(m_tableView, &MarketingTableView::buttonActivated, this, &MarketingViewScript::pressRowButton);

    MarketingCenter &marketing = context.marketing();
    connect(&marketing, &MarketingCenter::saleListChanged, this, [this] {
        if (m_currentDetailView == appMenuIndex::saleOfTheDayAppMenu)
            showProducts(m_context.marketing().saleOfTheDayPList());
    });
    connect(&marketing, &MarketingCenter::freeListChanged, this, [this] {
        if (m_currentDetailView == appMenuIndex::freeProductAppMenu)
            showProducts(m_context.marketing().freeProductList());
    });
    Rewards &rewards = context.rewards();
    connect(&rewards, &Rewards::rewardsChanged, this, [this] {
        if (m_currentDetailView == appMenuIndex::myRewardsAppMenu)
            refreshRewardsPanel();
    });
    // The store marks a claimed coupon as used; asking again shows the tier as used without waiting for a restart.
    connect(&rewards, &Rewards::claimFinished, this, [this](int, MarketingOutcome outcome, const QString &) {
        if (outcome == MarketingOutcome::succeeded)
            m_context.rewards().requestRewardInfo();
    });
}

const QList<OnSaleProductInfo> &MarketingViewScript::displaySaleList() const {
    return m_productModel->products();
}

void MarketingViewScript::showMarketingSection(appMenuIndex section) {
    m_currentDetailView = section;
    m_freeHeader->setVisible(section == appMenuIndex::freeProductAppMenu);
    switch (section) {
    case appMenuIndex::freeProductAppMenu:
        showProducts(m_context.marketing().freeProductList());
        break;
    case appMenuIndex::saleOfTheDayAppMenu:
        showProducts(m_context.marketing().saleOfTheDayPList());
        break;
    default:
        refreshRewardsPanel();
        break;
    }
}

void MarketingViewScript::showProducts(const QList<OnSaleProductInfo> &products) {
    m_rewardsPanel->hide();
    m_productModel->setProducts(products);
    m_tableView->setAccessibleName(m_currentDetailView == appMenuIndex::freeProductAppMenu ? tr("Free products")
                                                                                           : tr("Sale of the day"));
    m_tableView->showRows(*m_productModel, *m_productDelegate, MarketingRowDelegate::rowHeight,
                          {productPictureColumnWidth, 0, productActionColumnWidth});
}

void MarketingViewScript::refreshRewardsPanel() {
    m_rewardsPanel->show();
    m_rewardsPanel->refreshRewardsPanel();
    m_tierModel->reload();
    m_tableView->setAccessibleName(tr("Reward tiers"));
    m_tableView->showRows(*m_tierModel, *m_tierDelegate, RewardTierDelegate::rowHeight,
                          {thresholdColumnWidth, 0, copyColumnWidth});
}

void MarketingViewScript::pressRowButton(const QModelIndex &index) {
    if (!index.isValid())
        return;
    if (index.model() == m_tierModel) {
        const RewardTier *tier = m_tierModel->tier(index);
        if (tier && tier->showsCopyIcon && m_context.rewards().copyRewardCoupon(index.row())) {
            // Said as the account page says it.
            m_tierDelegate->showCopied(index.row());
            QTimer::singleShot(copiedNoteMs, m_tierDelegate, &RewardTierDelegate::clearCopied);
        }
        return;
    }
    // A copy: whoever opens the page may reload the list meanwhile.
    if (const OnSaleProductInfo *product = m_productModel->product(index)) {
        const OnSaleProductInfo chosen = *product;
        Q_EMIT productViewRequested(chosen);
    }
}

} // namespace klv::ui
