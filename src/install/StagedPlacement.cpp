#include "install/StagedPlacement.h"

#include "core/AtomicRename.h"
#include "install/FolderMove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace klv {

namespace {

bool exists(const QString &path) {
    const QFileInfo item(path);
    return item.exists() || item.isSymLink();
}

// Removes a file, a link (never what it points to) or a folder with its content.
void removeItem(const QString &path) {
    const QFileInfo item(path);
    if (item.isDir() && !item.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

QString stagingPathBeside(const QString &target) {
    const QFileInfo info(target);
    return info.path() + u'/' + StagedPlacement::stagingPrefix +
           QString::number(QRandomGenerator::global()->generate64(), 36) + u'-' + info.fileName();
}

} // namespace

const QString StagedPlacement::stagingPrefix = QStringLiteral(".klv-staging-");

void StagedPlacement::removeLeftovers(const QString &folder) {
    const QStringList leftovers = QDir(folder).entryList(
        {stagingPrefix + u'*'}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : leftovers)
        removeItem(folder + u'/' + name);
}

std::optional<QString> StagedPlacement::stage(const QString &source, const QString &target) {
    const QString staging = stagingPathBeside(target);
    if (std::optional<QString> error = moveItem(source, staging)) {
        removeItem(staging);
        return error;
    }
    m_items.append({target, staging});
    return std::nullopt;
}

std::optional<QString> StagedPlacement::swapIn() {
    for (Item &item : m_items) {
        item.replaced = exists(item.target);
        std::optional<QString> error = item.replaced
                                           ? exchangeItems(item.staging, item.target, stagingPathBeside(item.target))
                                           : renameToFreePath(item.staging, item.target);
        if (error) {
            item.replaced = false;
            takeBack();
            return error;
        }
        item.swapped = true;
    }
    return std::nullopt;
}

void StagedPlacement::putBack(Item &item) {
    if (!item.swapped)
        return;
    if (item.replaced) {
        if (exchangeItems(item.staging, item.target, stagingPathBeside(item.target)))
            return;
    } else if (renameToFreePath(item.target, item.staging)) {
        return;
    }
    item.swapped = false;
    item.replaced = false;
}

void StagedPlacement::keep() {
    for (const Item &item : std::as_const(m_items)) {
        if (!item.swapped || item.replaced)
            removeItem(item.staging);
    }
    m_items.clear();
}

void StagedPlacement::takeBack() {
    for (auto item = m_items.rbegin(); item != m_items.rend(); ++item) {
        putBack(*item);
        // What the staging name holds now is the new version (or nothing worth keeping).
        if (!item->swapped)
            removeItem(item->staging);
    }
    m_items.clear();
}

} // namespace klv
