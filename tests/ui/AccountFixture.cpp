#include "AccountFixture.h"

#include "app/StartupSequence.h"
#include "store/Services.h"

#include <QApplication>
#include <QTest>

namespace klv::test {

using namespace Qt::StringLiterals;

void AccountFixture::SetUp() {
    store = std::make_unique<storeservice::StoreProcess>(fixtureCatalog());
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    makeContext(store->url());
}

void AccountFixture::makeContext(const QString &storeUrl) {
    Configuration configuration = Configuration::fromEnvironment();
    configuration.storeUrl = storeUrl;
    configuration.downloadBucketUrl = storeUrl + u"/files/bucket/"_s;
    context.reset();
    context = std::make_unique<AppContext>(configuration, alerts, [this] { return now; });
    runStartupSequence(*context, {u"klv-app"_s}, UpdaterFetch::onDemand);
}

void AccountFixture::signInDirectly() {
    Settings &settings = context->services().settings();
    settings.userName = u"Test Customer"_s;
    settings.userEmail = u"tester@klv.example"_s;
    settings.sessionActive = true;
    ASSERT_FALSE(settings.saveSettings());
}

} // namespace klv::test

namespace klv::test {

QList<QWidget *> tabCycle(QWidget &window) {
    window.activateWindow();
    QWidget *first = window.nextInFocusChain();
    while (first != &window && !(first->focusPolicy() & Qt::TabFocus && first->isVisible() && first->isEnabled()))
        first = first->nextInFocusChain();
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget *> visited;
    while (QWidget *focused = QApplication::focusWidget()) {
        if (visited.contains(focused))
            break;
        visited.append(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return visited;
}

QStringList unreachableByTab(QWidget &window) {
    const QList<QWidget *> reached = tabCycle(window);
    QStringList missing;
    const QList<QWidget *> controls = window.findChildren<QWidget *>();
    for (QWidget *control : controls) {
        const bool interactive = qobject_cast<QAbstractButton *>(control) || qobject_cast<QLineEdit *>(control);
        if (interactive && control->isVisibleTo(&window) && control->isEnabled() && !reached.contains(control))
            missing.append(control->accessibleName().isEmpty() ? control->objectName() : control->accessibleName());
    }
    return missing;
}

} // namespace klv::test
