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
        if (const auto examined = m_examined.constFind(relative); examined != m_examined.cend()) {
            // Everything below a created item is new as well, so only the outermost one needs noting.
            if (*examined)
                return;
            continue;
        }
        const QFileInfo item(m_root + u'/' + relative);
        const bool created = !item.exists() && !item.isSymLink();
        m_examined.insert(relative, created);
        if (created) {
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
