#pragma once

#include "library/JobState.h"
#include "library/OutlineViewItem.h"
#include "library/ProductButtonState.h"
#include "products/PictureLoader.h"

#include <QAbstractItemModel>
#include <QCache>
#include <QHash>
#include <QPixmap>
#include <QSet>

#include <functional>
#include <utility>

namespace klv {
class InstallationEngine;
class ProductImages;
class ProductLibrary;
} // namespace klv

namespace klv::ui {

// The library outline's rows: the displayed products at the top level and, under a group, the members the
// library has records for. Rows carry records, not widgets; the delegates paint them. Pictures are decoded away
// from the main thread and kept as pixmaps scaled for the row, so painting never waits for the disk.
class LibraryModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { pictureColumn, nameColumn, actionColumn };
    static constexpr int columns = 3;
    static constexpr int pictureSide = 48;
    static constexpr qreal pictureCornerRadius = 8;

    LibraryModel(ProductLibrary &library, InstallationEngine &engine, ProductImages &images, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    // The name cell speaks for the row: the name, then the product button's state, the sub-line and the update
    // badge.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The record of a row; null for an invalid index.
    const OutlineViewItem *record(const QModelIndex &index) const;
    // Where the row's product's request or job stands.
    JobState jobState(const QModelIndex &index) const;
    // What the row's product button shows and whether it can be pressed, as the core says.
    ProductButtonState buttonState(const QModelIndex &index) const;
    // The items of the row's option menu, as the core offers them for its state.
    QStringList optionMenuItems(const QModelIndex &index) const;
    // Whether the row's option button shows the update badge.
    bool hasUpdate(const QModelIndex &index) const;
    const QList<OutlineViewItem> &libraryProducts() const;
    // Where a group row's members lie in libraryProducts(), kept between paints; empty for other rows.
    QList<qsizetype> groupMembers(const QModelIndex &index) const;
    // The row's picture scaled for the given device pixel ratio; null while there is none to show yet (a decoded
    // picture arrives as a change of the row's picture cell).
    QPixmap picture(const QModelIndex &index, qreal devicePixelRatio) const;

    // With detailed logging on (-klvLogDetail), the first time a cell of a product shows after each reload is
    // written to the log.
    void setDetailLog(std::function<void(const QString &)> appendLog);
    void noteCellShown(const QModelIndex &index) const;

private:
    void reload();
    void reloadRecordRows(const OutlineViewItem &record);
    void pictureArrived(qint64 productId, const QImage &cropped);
    void pictureDecoded(qint64 productId, const QImage &scaled);
    void pictureColumnChanged();
    const QList<qsizetype> &memberIndexes(int groupRow) const;

    ProductLibrary &m_library;
    InstallationEngine &m_engine;
    ProductImages &m_images;
    struct Members {
        QStringList children;
        QList<qsizetype> indexes;
    };
    // Per group (by number), the indexes of its members in the library, computed when first asked and kept
    // until the library is replaced.
    mutable QHash<qint64, Members> m_members;
    quint64 m_membersRevision = 0;
    // Scaled pictures of the rows seen lately, bounded in bytes: a long scroll keeps memory flat.
    mutable QCache<qint64, QPixmap> m_pictures;
    // Products without a picture yet: asked once, then told by productImageReady.
    mutable QSet<qint64> m_picturesAsked;
    mutable PictureLoader m_pictureLoader;
    // The cells that asked for a picture being decoded: only they repaint when it arrives.
    mutable QMultiHash<qint64, QModelIndex> m_pictureCells;
    std::function<void(const QString &)> m_detailLog;
    mutable QSet<std::pair<QString, int>> m_cellsLogged;
};

} // namespace klv::ui
