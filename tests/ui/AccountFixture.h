#pragma once

#include "app/AppContext.h"
#include "store/DesktopServices.h"

#include "RecordingDesktop.h"
#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>

#include <memory>

namespace klv::test {

// A window-side test over the real core: a sandbox home, a klv-store, and the application context after the
// start-up sequence, its alerts scripted.
class AccountFixture : public ::testing::Test {
protected:
    void SetUp() override;
    // Builds the context against that store address (a store that is not there, when asked).
    void makeContext(const QString &storeUrl);
    void signInDirectly();

    SandboxHome home;
    ScriptedAlerts alerts;
    std::unique_ptr<storeservice::StoreProcess> store;
    std::unique_ptr<AppContext> context;
    QDateTime now = QDateTime::currentDateTime();
};

// The one visible child of that type whose accessible name (or, for buttons, text) is `name`.
template <typename Widget> Widget *findVisible(const QWidget &parent, const QString &name) {
    const QList<Widget *> candidates = parent.findChildren<Widget *>();
    for (Widget *candidate : candidates) {
        if (!candidate->isVisibleTo(&parent))
            continue;
        if (candidate->accessibleName() == name)
            return candidate;
        if constexpr (std::is_base_of_v<QAbstractButton, Widget>) {
            if (candidate->text() == name)
                return candidate;
        }
    }
    ADD_FAILURE() << "no visible " << name.toStdString();
    return nullptr;
}

} // namespace klv::test

namespace klv::test {

// The controls Tab visits, going round the window once from its first one.
QList<QWidget *> tabCycle(QWidget &window);
// The visible, enabled buttons and text fields below `parent` that Tab never reaches.
QStringList unreachableByTab(QWidget &window);

} // namespace klv::test
