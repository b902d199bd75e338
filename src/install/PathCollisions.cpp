#include "install/PathCollisions.h"

namespace klv {

Error PathCollisions::add(const QStringList &components, bool folder) {
    QString path;
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (i > 0)
            path += u'/';
        path += components[i];
        const bool asFolder = folder || i + 1 < components.size();
        const auto found = m_written.constFind(path);
        if (found == m_written.cend())
            m_written.insert(path, asFolder);
        else if (!(asFolder && *found))
            return path;
    }
    return std::nullopt;
}

} // namespace klv
