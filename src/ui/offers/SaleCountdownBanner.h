#pragma once

#include <QWidget>

class QLabel;

namespace klv {
class MarketingCenter;
}

namespace klv::ui {

// The bar above the sale table: the sale's title and its countdown, "30% OFF - 1d : 4h : 15m : 9s". The text
// follows the core's one countdown beat, which runs while there is a sale.
class SaleCountdownBanner final : public QWidget {
    Q_OBJECT
public:
    static constexpr int bannerHeight = 56;

    explicit SaleCountdownBanner(MarketingCenter &marketing, QWidget *parent = nullptr);

    // The main window shows the sale section with products (true) or leaves it (false).
    void setSaleSectionShown(bool shown);
    QString countdownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showSaleInfo();

    MarketingCenter &m_marketing;
    QLabel *m_title;
    QLabel *m_countdownTimer;
};

} // namespace klv::ui
