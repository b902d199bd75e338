#pragma once

#include "app/AppContext.h"
#include "library/InstallationItem.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

namespace klv {

class JobInstaller;

namespace test {

// What an installer reported, in order.
struct InstallerReport {
    QList<double> templateProgress;
    QStringList steps;
    std::optional<QString> failure;
};

// A sandbox home and a context whose store, font store and plug-in site are a klv-store serving the catalog a test
// writes: files below files/ (fonts/ and plugins/ among them), products in store.json.
class InstallerFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // The path of files/<relative> in the catalog, and its address at the store.
    QString served(const QString &relative) const;
    QString address(const QString &relative) const;
    // Writes files/<relative> of the catalog; returns its address at the store.
    QString serve(const QString &relative, const QByteArray &content);
    // Serves a zip of (name, content) entries, all dated 2021-03-04.
    QString serveZip(const QString &relative, const QList<std::pair<QString, QString>> &entries);
    // Rewrites store.json; the running store reads it again.
    void writeCatalog(const QJsonArray &products, const QJsonArray &faults = {});
    // Starts the installer and waits until it failed, reported "Template Progress" 1.0, or `done` holds.
    InstallerReport run(JobInstaller &installer, const std::function<bool()> &done = {});
    QString logText() const;

    static InstallationItem job(const QString &name, const QString &link);
    // Every file and folder below a folder, relative to it and sorted.
    static QStringList tree(const QString &folder);

    // Tests that steer the time set it before SetUp runs.
    Clock clock = systemClock();
    SandboxHome home;
    ScriptedAlerts alerts;
    QTemporaryDir catalog;
    std::unique_ptr<storeservice::StoreProcess> store;
    std::unique_ptr<AppContext> context;
    QStringList notAutoKillList;
};

} // namespace test
} // namespace klv
