#include "install/CreatedPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace klv {

CreatedPaths::CreatedPaths(QString root)
    : m_root(std::move(root)) {}

void CreatedPaths::noteBeforeWriting(const QStringList &components) {
    QString relative;
    for (const QString &component : components) {
        relative = relative.isEmpty() ? component : relative + u'/' + component;
        if (m_examined.contains(relative))
            continue;
        m_examined.insert(relative);
        const QFileInfo item(m_root + u'/' + relative);
        // Everything below a created item is new as well, so only the outermost one needs noting.
        if (!item.exists() && !item.isSymLink()) {
            m_created.append(relative);
            return;
        }
    }
}

void CreatedPaths::removeAll() {
    while (!m_created.isEmpty()) {
        const QString path = m_root + u'/' + m_created.takeLast();
        const QFileInfo item(path);
        if (item.isDir() && !item.isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
    m_examined.clear();
}

} // namespace klv
