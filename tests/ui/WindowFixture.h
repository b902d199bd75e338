#pragma once

#include "app/AppContext.h"
#include "library/OutlineViewItem.h"
#include "shell/MainViewController.h"

#include "ManualTickSource.h"
#include "RecordingDesktop.h"
#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <QProcessEnvironment>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace klv::test {

// The real window over a sandbox home and a klv-store serving the demo catalog and its web site. Its time stands
// still and its once-a-second beat is the test's: `now` and `ticks`.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the context and opens the window, as the application does after start-up.
    void openWindow();
    // The catalog folder the store serves; the demo's unless a test needs another.
    virtual QString catalogDirectory() const;
    // How the store misbehaves: by default it sends slowProduct's package a byte at a time.
    virtual QStringList storeFaults() const;
    // klv's environment for this home and store.
    QProcessEnvironment klvEnvironment() const;
    // Signs the demo customer in through the store, before the window opens.
    void signInBeforehand();
    const OutlineViewItem *libraryRecord(const QString &name) const;
    // Starts installing the product whose package the store sends slowly, and waits until its job runs.
    void startSlowInstallation();

    static const QString slowProduct;
    static const QString slowPackage;

    QDateTime now = QDateTime::currentDateTimeUtc();
    ManualTickSource ticks;
    SandboxHome home;
    ScriptedAlerts alerts;
    RecordingDesktop desktop;
    std::unique_ptr<storeservice::StoreProcess> store;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<ui::MainViewController> window;
};

} // namespace klv::test
