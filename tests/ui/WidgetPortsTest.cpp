#include "shell/WidgetAlerts.h"

#include "ModalDriver.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

namespace klv::ui {
namespace {

using namespace Qt::StringLiterals;
using test::whenMessageBoxShows;

TEST(WidgetAlertsTest, ButtonsKeepTheirOrderAndTheChosenIndexComesBack) {
    WidgetAlerts alerts;
    const QStringList three{u"Update Now"_s, u"Update later"_s, u"Skip"_s};

    QStringList laidOut;
    QString title;
    QString message;
    Qt::TextFormat format = Qt::AutoText;
    whenMessageBoxShows([&](QMessageBox &box) {
        format = box.textFormat();
        title = box.windowTitle();
        message = box.text();
        const QList<QAbstractButton *> buttons = test::buttonsLeftToRight(box);
        for (const QAbstractButton *button : buttons)
            laidOut.append(button->text());
        buttons.at(1)->click();
    });
    EXPECT_EQ(alerts.present(u"Alert"_s, u"New version <b>2</b>"_s, three), 1);
    EXPECT_EQ(laidOut, three);
    EXPECT_EQ(format, Qt::PlainText) << "a name from the store is never markup";
    EXPECT_EQ(title, u"Alert"_s);
    EXPECT_EQ(message, u"New version <b>2</b>"_s);

    // Return takes the first button, Escape the last one.
    whenMessageBoxShows([](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_EQ(alerts.present(u"Alert"_s, u"m"_s, three), 0);
    whenMessageBoxShows([](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(alerts.present(u"Alert"_s, u"m"_s, three), 2);
    whenMessageBoxShows([](QMessageBox &box) { box.close(); });
    EXPECT_EQ(alerts.present(u"Alert"_s, u"m"_s, {u"OK"_s, u"Cancel"_s}), 1);

    whenMessageBoxShows([](QMessageBox &box) { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_EQ(alerts.present(u"Alert"_s, u"Finished - FxRun has Completed"_s, {u"OK"_s}), 0);
}

} // namespace
} // namespace klv::ui
