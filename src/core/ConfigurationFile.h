#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace klv {

// One configuration file as an administrator writes it: "name = value" lines, "#" starting a comment line, blank
// lines ignored. A missing file is empty; a line that is no setting, or names no known setting, is a problem.
class ConfigurationFile final {
public:
    static ConfigurationFile read(const QString &path, const QStringList &knownNames);

    const QString &path() const { return m_path; }
    // The value of a setting the file sets, empty when it sets none.
    QString value(const QString &name) const { return m_values.value(name); }
    // Each "PATH:LINE: why" for a line that could not be used.
    const QStringList &problems() const { return m_problems; }

private:
    QString m_path;
    QMap<QString, QString> m_values;
    QStringList m_problems;
};

} // namespace klv
