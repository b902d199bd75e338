#include "products/LibraryModel.h"

#include "install/InstallationEngine.h"
#include "library/GroupMembers.h"
#include "library/LibraryRow.h"
#include "library/ProductActions.h"
#include "library/ProductImages.h"
#include "library/ProductLibrary.h"

#include <array>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {
// Top-level rows carry 0; a member row carries its group's row + 1.
constexpr quintptr topLevel = 0;
constexpr qsizetype pictureCacheBytes = 24 * 1024 * 1024;
} // namespace

LibraryModel::LibraryModel(ProductLibrary &library, InstallationEngine &engine, ProductImages &images, QObject *parent)
    : QAbstractItemModel(parent)
    , m_library(library)
    , m_engine(engine)
    , m_images(images)
    , m_pictures(pictureCacheBytes) {
    connect(&m_library, &ProductLibrary::displayedProductsChanged, this, &LibraryModel::reload);
    connect(&m_engine, &InstallationEngine::rowReloadRequested, this, &LibraryModel::reloadRecordRows);
    connect(&m_images, &ProductImages::productImageReady, this,
            [this](qint64 productId, const QString &, const QImage &cropped) { pictureArrived(productId, cropped); });
    connect(&m_pictureLoader, &PictureLoader::loaded, this, &LibraryModel::pictureDecoded);
}

QModelIndex LibraryModel::index(int row, int column, const QModelIndex &parent) const {
    if (row < 0 || column < 0 || column >= columns || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, topLevel);
    return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex LibraryModel::parent(const QModelIndex &child) const {
    if (!child.isValid() || child.internalId() == topLevel)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, topLevel);
}

int LibraryModel::rowCount(const QModelIndex &parent) const {
    if (!parent.isValid())
        return static_cast<int>(m_library.displayedProducts().size());
    if (parent.internalId() != topLevel || parent.column() != 0)
        return 0;
    return static_cast<int>(memberIndexes(parent.row()).size());
}

int LibraryModel::columnCount(const QModelIndex &) const {
    return columns;
}

bool LibraryModel::hasChildren(const QModelIndex &parent) const {
    if (!parent.isValid())
        return !m_library.displayedProducts().isEmpty();
    if (parent.internalId() != topLevel || parent.column() != 0)
        return false;
    return m_library.displayedProducts().at(parent.row()).isGroup();
}

QVariant LibraryModel::data(const QModelIndex &index, int role) const {
    const OutlineViewItem *row = record(index);
    if (!row || index.column() != nameColumn)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return describeLibraryRow(*row, m_library.libraryProducts(), groupMembers(index)).title;
    case Qt::AccessibleDescriptionRole: {
        // The sub-line names Apple silicon with a private-use character only Apple's fonts draw; spoken, it is
        // the word.
        QString subLine = describeLibraryRow(*row, m_library.libraryProducts(), groupMembers(index)).subLine;
        subLine.replace(QChar(0xf8ff), u"Apple"_s).replace(u" | "_s, u", "_s);
        QStringList spoken{buttonState(index).title, subLine};
        if (hasUpdate(index))
            spoken.append(tr("Update available"));
        spoken.removeAll(QString());
        return spoken.join(u", "_s);
    }
    default:
        return {};
    }
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    static const std::array<QString, columns> titles{tr("Picture"), tr("Product"), tr("Actions")};
    return section >= 0 && section < columns ? QVariant(titles.at(std::size_t(section))) : QVariant();
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex &index) const {
    // Rows are never selected; their buttons act.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

const OutlineViewItem *LibraryModel::record(const QModelIndex &index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const ShownProducts &displayed = m_library.displayedProducts();
    if (index.internalId() == topLevel)
        return index.row() < displayed.size() ? &displayed.at(index.row()) : nullptr;
    const int groupRow = static_cast<int>(index.internalId() - 1);
    if (groupRow >= displayed.size())
        return nullptr;
    const QList<qsizetype> &members = memberIndexes(groupRow);
    if (index.row() >= members.size())
        return nullptr;
    return &m_library.libraryProducts().at(members.at(index.row()));
}

JobState LibraryModel::jobState(const QModelIndex &index) const {
    const OutlineViewItem *row = record(index);
    return row ? m_engine.jobState(*row) : JobState();
}

ProductButtonState LibraryModel::buttonState(const QModelIndex &index) const {
    const OutlineViewItem *row = record(index);
    if (!row)
        return {};
    return productButtonState(*row, m_engine.jobState(*row), row->isInstalled, m_library.libraryProducts(),
                              groupMembers(index));
}

QStringList LibraryModel::optionMenuItems(const QModelIndex &index) const {
    const OutlineViewItem *row = record(index);
    return row ? ProductActions::optionMenuItems(*row, m_library.libraryProducts(), groupMembers(index))
               : QStringList();
}

bool LibraryModel::hasUpdate(const QModelIndex &index) const {
    return ProductActions::isHaveUpdate(optionMenuItems(index));
}

const QList<OutlineViewItem> &LibraryModel::libraryProducts() const {
    return m_library.libraryProducts();
}

QList<qsizetype> LibraryModel::groupMembers(const QModelIndex &index) const {
    const OutlineViewItem *row = record(index);
    if (!row || !row->isGroup())
        return {};
    if (index.internalId() == topLevel)
        return memberIndexes(index.row());
    return groupMemberIndexes(m_library.libraryProducts(), *row);
}

QPixmap LibraryModel::picture(const QModelIndex &index, qreal devicePixelRatio) const {
    const OutlineViewItem *row = record(index);
    if (!row)
        return {};
    const QPixmap *cached = m_pictures.object(row->product_id);
    if (cached && qFuzzyCompare(cached->devicePixelRatio(), devicePixelRatio))
        return *cached;
    if (m_picturesAsked.contains(row->product_id))
        return {};
    const QString path = m_images.storedPicturePath(*row);
    if (path.isEmpty()) {
        m_picturesAsked.insert(row->product_id);
        return {};
    }
    m_pictureLoader.request(row->product_id, path, qRound(pictureSide * devicePixelRatio),
                            pictureCornerRadius * devicePixelRatio);
    const QModelIndex cell = index.siblingAtColumn(pictureColumn);
    if (!m_pictureCells.contains(row->product_id, cell))
        m_pictureCells.insert(row->product_id, cell);
    return {};
}

void LibraryModel::setDetailLog(std::function<void(const QString &)> appendLog) {
    m_detailLog = std::move(appendLog);
}

void LibraryModel::noteCellShown(const QModelIndex &index) const {
    const OutlineViewItem *row = record(index);
    if (!m_detailLog || !row || m_cellsLogged.contains({row->product_name, index.column()}))
        return;
    m_cellsLogged.insert({row->product_name, index.column()});
    static constexpr std::array<QStringView, columns> made{
        u"Create Image for product ID : ", u"Create Info for product ID : ", u"Create Button for product ID : "};
    m_detailLog(made.at(static_cast<std::size_t>(index.column())) + QString::number(row->product_id) +
                u" with Name : "_s + row->product_name);
}

void LibraryModel::reload() {
    beginResetModel();
    m_cellsLogged.clear();
    // A group's members follow from the library's names, not from the filter: typing keeps them.
    if (m_membersRevision != m_library.libraryRevision()) {
        m_members.clear();
        m_membersRevision = m_library.libraryRevision();
    }
    m_pictureCells.clear();
    endResetModel();
}

void LibraryModel::reloadRecordRows(const OutlineViewItem &record) {
    const ShownProducts &displayed = m_library.displayedProducts();
    for (int row = 0; row < displayed.size(); ++row) {
        const OutlineViewItem &candidate = displayed.at(row);
        const bool isTheRecord = candidate.product_id == record.product_id;
        // A member's job changes its group's button too.
        const bool holdsTheRecord =
            candidate.isGroup() &&
            memberIndexes(row).contains(findGroupMember(libraryProducts(), record.product_name).value_or(-1));
        if (!isTheRecord && !holdsTheRecord)
            continue;
        Q_EMIT dataChanged(index(row, 0), index(row, columns - 1));
        const QModelIndex group = index(row, 0);
        const int members = rowCount(group);
        if (members > 0)
            Q_EMIT dataChanged(index(0, 0, group), index(members - 1, columns - 1, group));
    }
}

void LibraryModel::pictureArrived(qint64 productId, const QImage &cropped) {
    m_pictures.remove(productId);
    if (cropped.isNull())
        return;
    m_picturesAsked.remove(productId);
    pictureColumnChanged();
}

void LibraryModel::pictureDecoded(qint64 productId, const QImage &scaled) {
    if (scaled.isNull()) {
        // A file that holds no picture is not read again until a new one has been downloaded.
        m_picturesAsked.insert(productId);
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(scaled);
    pixmap.setDevicePixelRatio(qreal(scaled.width()) / pictureSide);
    m_pictures.insert(productId, new QPixmap(pixmap), static_cast<qsizetype>(pixmap.width()) * pixmap.height() * 4);
    // One cell each: a change over whole columns makes the tree walk every row it lays out.
    for (const QModelIndex &cell : m_pictureCells.values(productId)) {
        if (const OutlineViewItem *row = record(cell); row && row->product_id == productId)
            Q_EMIT dataChanged(cell, cell);
    }
    m_pictureCells.remove(productId);
}

void LibraryModel::pictureColumnChanged() {
    // The view repaints only what it shows; telling it about whole columns costs nothing per row.
    const int rows = rowCount();
    if (rows == 0)
        return;
    Q_EMIT dataChanged(index(0, pictureColumn), index(rows - 1, pictureColumn));
    const ShownProducts &displayed = m_library.displayedProducts();
    for (int row = 0; row < rows; ++row) {
        const auto members = m_members.constFind(displayed.at(row).product_id);
        if (members == m_members.cend() || members->indexes.isEmpty())
            continue;
        const QModelIndex parentIndex = index(row, 0);
        Q_EMIT dataChanged(index(0, pictureColumn, parentIndex),
                           index(static_cast<int>(members->indexes.size()) - 1, pictureColumn, parentIndex));
    }
}

const QList<qsizetype> &LibraryModel::memberIndexes(int groupRow) const {
    const OutlineViewItem &group = m_library.displayedProducts().at(groupRow);
    auto found = m_members.find(group.product_id);
    // Numbers come from the store; two groups that share one keep their own members.
    if (found == m_members.end() || found->children != group.children)
        found = m_members.insert(group.product_id,
                                 {group.children, groupMemberIndexes(m_library.libraryProducts(), group)});
    return found->indexes;
}

} // namespace klv::ui
