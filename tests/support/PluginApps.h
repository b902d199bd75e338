#pragma once

#include <QList>
#include <QString>

namespace klv::test {

// Plug-in host applications as AppDirs: each AppRun appends its process number to a file, then waits as a real
// one would until it is ended.
class PluginApps final {
public:
    explicit PluginApps(QString startsFile);
    // Every application started so far is killed.
    ~PluginApps();

    bool add(const QString &pluginsFolder, const QString &name) const;
    QList<qint64> started() const;
    int stillRunning() const;

private:
    QString m_startsFile;
};

} // namespace klv::test
