#include "install/StagedPlacement.h"

#include "install/FolderMove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace klv {

namespace {

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

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

// Exchanges two existing items atomically. File systems without the exchange get two renames over a third
// name; the window between them is as short as it can be.
std::optional<QString> exchange(const QString &first, const QString &second) {
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) == 0)
        return std::nullopt;
    if (errno != EINVAL && errno != ENOSYS)
        return u'"' + first + u"\" could not take the place of \"" + second + u"\": " + errnoText();
    const QByteArray aside = QFile::encodeName(stagingPathBeside(second));
    if (std::rename(b.constData(), aside.constData()) != 0)
        return u'"' + second + u"\" could not be set aside: " + errnoText();
    if (std::rename(a.constData(), b.constData()) != 0) {
        const QString error = u'"' + first + u"\" could not take the place of \"" + second + u"\": " + errnoText();
        std::rename(aside.constData(), b.constData());
        return error;
    }
    if (std::rename(aside.constData(), a.constData()) != 0)
        return u"the earlier \"" + second + u"\" could not be kept aside: " + errnoText();
    return std::nullopt;
}

// Renames source to target only if nothing is there, so an item that appeared meanwhile is never lost.
std::optional<QString> renameToFreeName(const QString &source, const QString &target) {
    if (::renameat2(AT_FDCWD, QFile::encodeName(source).constData(), AT_FDCWD, QFile::encodeName(target).constData(),
                    RENAME_NOREPLACE) == 0)
        return std::nullopt;
    if ((errno == EINVAL || errno == ENOSYS) && !exists(target) &&
        std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return std::nullopt;
    return u'"' + source + u"\" could not be renamed to \"" + target + u"\": " + errnoText();
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
        std::optional<QString> error =
            item.replaced ? exchange(item.staging, item.target) : renameToFreeName(item.staging, item.target);
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
        if (exchange(item.staging, item.target))
            return;
    } else if (renameToFreeName(item.target, item.staging)) {
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
