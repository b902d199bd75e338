#include "core/ContainedRemoval.h"

#include "core/Locations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

struct Bounds {
    QMutex mutex;
    QStringList below;
    QStringList itself;
};

Bounds &bounds() {
    static Bounds instance;
    return instance;
}

// The real path, with the last component as written: a link at the target is the target, not what it names.
QString resolved(const QString &path) {
    const QFileInfo info(QDir::cleanPath(QDir(path).absolutePath()));
    const QString parent = QFileInfo(info.path()).canonicalFilePath();
    if (parent.isEmpty())
        return {};
    return parent == u"/"_s ? QString(parent + info.fileName()) : QString(parent + u'/' + info.fileName());
}

QString resolvedFolder(const QString &folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

// Only a folder named plainly: one that reaches its place through "." or ".." (an identifier such as "..") would
// stand for whatever lies there, the home included.
void add(QStringList &list, const QString &folder) {
    QString plain = folder;
    while (plain.size() > 1 && plain.endsWith(u'/'))
        plain.chop(1);
    if (plain.isEmpty() || QDir::cleanPath(plain) != plain || !QDir::isAbsolutePath(plain) || list.contains(plain))
        return;
    list.append(plain);
}

} // namespace

void ContainedRemoval::allow(const Locations &locations) {
    Bounds &known = bounds();
    const QMutexLocker lock(&known.mutex);
    for (const QString &folder : {locations.sharedContainerURL, locations.vantoryFolderURL, locations.downloadFolderURL,
                                  locations.pluginsFolderURL, locations.fontsFolderURL, locations.customLUTsFolderURL,
                                  locations.compositeFolderURL, locations.resolveTemplatesFolderURL,
                                  locations.motionTemplatesFolderURL, locations.appCacheFolderURL})
        add(known.below, folder);
    add(known.itself, locations.appCacheFolderURL);
}

bool ContainedRemoval::isAllowed(const QString &path) {
    const QString target = resolved(path);
    if (target.isEmpty() || target == u"/"_s)
        return false;
    Bounds &known = bounds();
    const QMutexLocker lock(&known.mutex);
    for (const QString &folder : std::as_const(known.below)) {
        const QString root = resolvedFolder(folder);
        if (root != u"/"_s && target.startsWith(root + u'/'))
            return true;
    }
    for (const QString &folder : std::as_const(known.itself)) {
        if (target == resolvedFolder(folder))
            return true;
    }
    return false;
}

Error ContainedRemoval::removeTree(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (!isAllowed(path))
        return u"“"_s + path + u"” lies outside the app's folders, so it was not removed"_s;
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively() ? Error()
                                              : Error(u"the folder “"_s + path + u"” could not be removed whole"_s);
    QFile file(path);
    if (!file.remove())
        return u"“"_s + path + u"” could not be removed: "_s + file.errorString();
    return {};
}

} // namespace klv
