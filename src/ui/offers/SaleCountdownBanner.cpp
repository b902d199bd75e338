#include "offers/SaleCountdownBanner.h"

#include "marketing/MarketingCenter.h"
#include "style/FormStyle.h"
#include "style/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace klv::ui {

SaleCountdownBanner::SaleCountdownBanner(MarketingCenter &marketing, QWidget *parent)
    : QWidget(parent)
    , m_marketing(marketing)
    , m_title(new QLabel(this))
    , m_countdownTimer(new QLabel(this)) {
    setObjectName(u"countdownBarView"_s);
    setFixedHeight(bannerHeight);
    m_title->setObjectName(u"saleTitle"_s);
    m_countdownTimer->setObjectName(u"countdownTimer"_s);
    setLook(*m_title, "saleTitle");
    setLook(*m_countdownTimer, "saleCountdown");
    m_countdownTimer->setTextInteractionFlags(Qt::NoTextInteraction);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 0, 24, 0);
    layout->addWidget(m_title);
    layout->addStretch();
    layout->addWidget(m_countdownTimer);
    hide();

    connect(&m_marketing, &MarketingCenter::countdownChanged, m_countdownTimer, &QLabel::setText);
    connect(&m_marketing, &MarketingCenter::saleInfoChanged, this, [this] {
        if (isVisibleTo(parentWidget()))
            showSaleInfo();
    });
}

void SaleCountdownBanner::setSaleSectionShown(bool shown) {
    setVisible(shown);
    // The text is right at once, not a second later.
    if (shown)
        showSaleInfo();
}

QString SaleCountdownBanner::countdownText() const {
    return m_countdownTimer->text();
}

void SaleCountdownBanner::showSaleInfo() {
    m_title->setText(m_marketing.saleTitle());
    m_countdownTimer->setText(m_marketing.countDownDate());
    setAccessibleName(m_marketing.saleTitle());
    m_countdownTimer->setAccessibleName(tr("Time left in the sale"));
}

void SaleCountdownBanner::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QLinearGradient gradient(rect().topLeft(), rect().topRight());
    gradient.setColorAt(0, theme::color(NamedColor::saleBannerStart));
    gradient.setColorAt(1, theme::color(NamedColor::saleBannerEnd));
    painter.setOpacity(0.9);
    painter.fillRect(rect(), gradient);
}

} // namespace klv::ui
