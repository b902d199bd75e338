#pragma once

#include "library/OnSaleProductInfo.h"
#include "offers/ScaledPictureCache.h"

#include <QAbstractTableModel>
#include <QList>

namespace klv::ui {

// The rows of the sale or free section: one marketed product each, painted by MarketingRowDelegate.
class MarketingProductModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { pictureColumn, nameColumn, actionColumn };
    static constexpr int columns = 3;
    static constexpr int pictureSide = 72;

    explicit MarketingProductModel(ProductImages &images, QObject *parent = nullptr);

    void setProducts(const QList<OnSaleProductInfo> &products);
    const QList<OnSaleProductInfo> &products() const { return m_products; }
    // Null for a row that does not exist.
    const OnSaleProductInfo *product(const QModelIndex &index) const;
    QPixmap picture(const QModelIndex &index, qreal devicePixelRatio) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // The name cell speaks for the row: the name, described by the short description.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void pictureArrived(qint64 productId, const QImage &cropped);

    QList<OnSaleProductInfo> m_products;
    mutable ScaledPictureCache m_pictures;
};

} // namespace klv::ui
