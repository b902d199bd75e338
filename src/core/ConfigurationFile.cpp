#include "core/ConfigurationFile.h"

#include <QFile>

namespace klv {

ConfigurationFile ConfigurationFile::read(const QString &path, const QStringList &knownNames) {
    ConfigurationFile file;
    file.m_path = path;
    QFile input(path);
    if (!input.exists())
        return file;
    if (!input.open(QIODevice::ReadOnly)) {
        file.m_problems.append(path + u": cannot be read (" + input.errorString() + u").");
        return file;
    }
    const QStringList lines = QString::fromUtf8(input.readAll()).split(u'\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = lines.at(index).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QString where = path + u':' + QString::number(index + 1) + u": ";
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) {
            file.m_problems.append(where + u"expected \"name = value\", found \"" + line + u"\".");
            continue;
        }
        const QString name = line.left(equals).trimmed();
        if (!knownNames.contains(name)) {
            file.m_problems.append(where + u"unknown setting \"" + name + u"\"; the settings are " +
                                   knownNames.join(u", ") + u'.');
            continue;
        }
        file.m_values.insert(name, line.mid(equals + 1).trimmed());
    }
    return file;
}

} // namespace klv
