#include "install/MergeKeepingExisting.h"

#include "core/FolderCreation.h"
#include "install/FolderMove.h"

#include <QDir>
#include <QFileInfo>

namespace klv {

Error mergeKeepingExisting(const QString &source, const QString &target) {
    if (const Error reason = createFolderWithParents(target))
        return u"the folder \"" + target + u"\" could not be created: " + *reason;
    std::optional<QString> firstError;
    const QFileInfoList items =
        QDir(source).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &item : items) {
        const QString destination = target + u'/' + item.fileName();
        const QFileInfo existing(destination);
        std::optional<QString> error;
        if (!existing.exists() && !existing.isSymLink())
            error = moveItem(item.filePath(), destination);
        else if (item.isDir() && !item.isSymLink() && existing.isDir() && !existing.isSymLink())
            error = mergeKeepingExisting(item.filePath(), destination);
        if (error && !firstError)
            firstError = std::move(error);
    }
    return firstError;
}

} // namespace klv
