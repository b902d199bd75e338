#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace klv {

// Remembers which items below a folder did not exist before something wrote them, so that a failed operation
// can take back exactly what it added and leave everything that was there before.
class CreatedPaths final {
public:
    explicit CreatedPaths(QString root);

    // Call before writing root/components…: notes the outermost item on that path that does not exist yet.
    void noteBeforeWriting(const QStringList &components);
    // Removes the noted items with everything inside them, newest first.
    void removeAll();

private:
    QString m_root;
    // Each path looked at, and whether it was created here.
    QHash<QString, bool> m_examined;
    QStringList m_created;
};

} // namespace klv
