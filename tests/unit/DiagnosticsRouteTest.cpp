#include "app/DiagnosticsRoute.h"
#include "core/Diagnostics.h"
#include "store/LogFile.h"

#include "TestFiles.h"

#include <QLoggingCategory>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(qtLikeArea, "qt.example", QtWarningMsg)

class DiagnosticsRouteTest : public ::testing::Test {
protected:
    void TearDown() override { QLoggingCategory::setFilterRules({}); }

    QString logged() const { return QString::fromUtf8(test::readFile(log.filePath())); }

    QTemporaryDir folder;
    LogFile log{folder.filePath(u"klv.log"_s)};
};

TEST_F(DiagnosticsRouteTest, AnAreaSpeaksBelowWarningsOnlyWhenARuleAsksAndEveryMessageGoesToTheLog) {
    const DiagnosticsRoute route(log, DiagnosticsRoute::Echo::none);
    qCDebug(klvInstall) << "quiet by default";
    qCWarning(klvStore) << "a warning always";
    qCWarning(qtLikeArea) << "from a library";
    QLoggingCategory::setFilterRules(u"klv.install.debug=true"_s);
    qCDebug(klvInstall).noquote() << "asked for";
    qCDebug(klvStore) << "another area stays quiet";

    const QString text = logged();
    EXPECT_FALSE(text.contains(u"quiet by default"_s));
    EXPECT_FALSE(text.contains(u"another area"_s));
    EXPECT_TRUE(text.contains(u"Diagnostic (klv.store, warning): a warning always"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Qt (qt.example): from a library"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Diagnostic (klv.install, debug): asked for"_s)) << text.toStdString();
}

TEST_F(DiagnosticsRouteTest, OnceTheRouteIsGoneNothingMoreIsWrittenToItsLog) {
    {
        const DiagnosticsRoute route(log, DiagnosticsRoute::Echo::asQtWould);
        qCWarning(klvApp) << "while routed";
    }
    qCWarning(klvApp) << "after the route";
    EXPECT_TRUE(logged().contains(u"while routed"_s));
    EXPECT_FALSE(logged().contains(u"after the route"_s));
}

} // namespace
} // namespace klv
