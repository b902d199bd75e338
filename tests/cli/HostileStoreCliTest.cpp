#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// Would clear the screen, retitle the window and, printed raw, start a line of its own.
const QString forging = u"Line1\nInstalled Evil\x1b[2J\x1b]0;owned\x07"_s;

bool hasControlCharacterBesideLineBreaks(const QString &text) {
    for (const QChar c : text) {
        if ((c.unicode() < 0x20 && c != u'\n') || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            return true;
    }
    return false;
}

class HostileStoreCliTest : public SignedInKlvTest {
protected:
    HostileStoreCliTest()
        : SignedInKlvTest(fixtureFolder(u"library"_s), Account::signedOut) {}

    // Changes the first object of the array under key whose field has that value.
    void editEntry(const QString &key, const QString &field, const QJsonValue &value,
                   const std::function<void(QJsonObject &)> &edit) const {
        editCatalog([&](QJsonObject &root) {
            QJsonArray entries = root[key].toArray();
            for (QJsonValueRef entry : entries) {
                QJsonObject object = entry.toObject();
                if (object[field] == value) {
                    edit(object);
                    entry = object;
                    break;
                }
            }
            root[key] = entries;
        });
    }
    QString logText() const {
        return QString::fromUtf8(
            readFile(home.filePath(u".local/share/klv-app/Applications/Vantory/Log/KLVAppLog.txt"_s)));
    }
    void expectNoForgedLine(const CliResult &result) const {
        for (const QString &stream : {result.out, result.err, logText()}) {
            EXPECT_FALSE(hasControlCharacterBesideLineBreaks(stream)) << stream.toStdString();
            EXPECT_FALSE(stream.contains(u"\nInstalled Evil"_s)) << stream.toStdString();
            EXPECT_FALSE(stream.contains(u"\n2026-01-01 00:00:00 +0000 : forged"_s)) << stream.toStdString();
        }
    }
};

TEST_F(HostileStoreCliTest, NamesAndMessagesFromTheStoreReachTerminalAndLogEscaped) {
    editEntry(u"accounts"_s, u"user"_s, u"tester"_s, [](QJsonObject &account) { account[u"name"] = forging; });
    editEntry(u"products"_s, u"product_id"_s, 740, [](QJsonObject &product) { product[u"product_name"] = forging; });
    // Shown raw, the override would turn what follows it around: "Glow exe.slooT".
    editEntry(u"products"_s, u"product_id"_s, 710,
              [](QJsonObject &product) { product[u"product_name"] = u"Glow \u202eslooT.exe"_s; });
    editEntry(u"accounts"_s, u"user"_s, u"refused"_s, [](QJsonObject &account) {
        account[u"answers"] = QJsonObject{
            {u"secureCustomerProduct"_s,
             QJsonObject{{u"status"_s, false}, {u"msg"_s, u"no\n2026-01-01 00:00:00 +0000 : forged\x1b[2J"_s}}}};
    });

    const CliResult login = signInAs(u"tester"_s);
    EXPECT_EQ(login.out, u"Signed in as Line1\\nInstalled Evil\\x1b[2J\\x1b]0;owned\\x07 <tester@klv.example>\n"_s);
    const CliResult refresh = klv({u"refresh"_s});
    EXPECT_TRUE(refresh.out.contains(u"\n  + Line1\\nInstalled Evil\\x1b[2J\\x1b]0;owned\\x07 (not installed)\n"_s))
        << refresh.out.toStdString();
    expectNoForgedLine(refresh);
    const CliResult list = klv({u"list"_s});
    expectNoForgedLine(list);
    EXPECT_TRUE(list.out.contains(u"Glow \\u202eslooT.exe"_s)) << list.out.toStdString();
    EXPECT_FALSE(list.out.contains(QChar(0x202e)));
    // JSON keeps the store's text exactly, in JSON's own escapes.
    const CliResult json = klv({u"list"_s, u"--json"_s});
    expectNoForgedLine(json);
    EXPECT_TRUE(QJsonDocument::fromJson(json.out.toUtf8())
                    .toJson(QJsonDocument::Compact)
                    .contains(R"("Line1\nInstalled Evil\u001b[2J\u001b]0;owned\u0007")"))
        << json.out.toStdString();

    ASSERT_EQ(signInAs(u"refused"_s).exitCode, 0);
    const CliResult refused = klv({u"refresh"_s});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(u"no\\n2026-01-01 00:00:00 +0000 : forged\\x1b[2J"_s))
        << refused.err.toStdString();
    expectNoForgedLine(refused);
}

TEST_F(HostileStoreCliTest, TransportErrorsAreOneLineWithoutTheRequestAddressAndExitNoAnswer) {
    ASSERT_EQ(signInAs(u"tester"_s).exitCode, 0);
    ASSERT_EQ(klv({u"refresh"_s}).exitCode, 0);
    editCatalog([](QJsonObject &root) {
        root[u"faults"] = QJsonArray{QJsonObject{{u"rt"_s, u"getProductCommitNumber"_s}, {u"kind"_s, u"drop"_s}},
                                     QJsonObject{{u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"drop"_s}}};
    });

    const CliResult refresh = klv({u"refresh"_s});
    EXPECT_EQ(refresh.exitCode, 3);
    EXPECT_EQ(refresh.err, u"The store could not be reached: the store closed the connection without an answer.\n"_s);

    // The library check goes through; the download information is what gets no answer.
    editCatalog([](QJsonObject &root) {
        root[u"faults"] = QJsonArray{QJsonObject{{u"rt"_s, u"requestDownloadInfo"_s}, {u"kind"_s, u"drop"_s}}};
    });
    const CliResult install = klv({u"install"_s, u"Alpha Titles"_s});
    EXPECT_EQ(install.exitCode, 3) << install.err.toStdString();
    EXPECT_TRUE(install.err.contains(u"The store could not be reached: "_s)) << install.err.toStdString();

    for (const QString &text : {refresh.err, install.err, install.out, logText()}) {
        EXPECT_FALSE(text.contains(u"p1="_s)) << text.toStdString();
        EXPECT_FALSE(text.contains(u"QIODevice"_s)) << text.toStdString();
    }
}

TEST_F(HostileStoreCliTest, AnAnswerThatTricklesInEndsAtTheDeadline) {
    ASSERT_EQ(signInAs(u"tester"_s).exitCode, 0);
    // A byte every 300 ms keeps the idle time-out from ever firing: the whole answer would take about 15 seconds.
    editCatalog([](QJsonObject &root) {
        root[u"faults"] = QJsonArray{
            QJsonObject{{u"rt"_s, u"getProductCommitNumber"_s}, {u"kind"_s, u"drip"_s}, {u"delayMs"_s, 300}}};
    });
    QProcessEnvironment environment = home.environment();
    environment.insert(u"KLV_STORE_URL"_s, store.url());
    environment.insert(u"KLV_STORE_DEADLINE_MS"_s, u"2000"_s);
    QElapsedTimer timer;
    timer.start();
    const CliResult refresh = runKlv({u"refresh"_s}, environment);
    EXPECT_LT(timer.elapsed(), 10'000);
    EXPECT_EQ(refresh.exitCode, 3) << refresh.out.toStdString();
    EXPECT_EQ(refresh.err, u"The store could not be reached: the store's answer did not arrive within 2 seconds.\n"_s);
}

TEST_F(HostileStoreCliTest, AYesThatSaysNothingIsNoSuccess) {
    ASSERT_EQ(signInAs(u"tester"_s).exitCode, 0);
    editEntry(u"products"_s, u"product_id"_s, 501, [](QJsonObject &product) {
        product[u"answers"] = QJsonObject{{u"requestDownloadInfo"_s, QJsonObject{{u"status"_s, true}}}};
    });
    const CliResult install = klv({u"install"_s, u"Alpha Titles"_s});
    EXPECT_EQ(install.exitCode, 3);
    EXPECT_TRUE(install.err.contains(u"The store's answer names nothing to install for Alpha Titles"_s))
        << install.err.toStdString();
    EXPECT_FALSE(install.out.contains(u"Installed"_s));

    // A yes whose entry for the product is no template data at all is a failed installation, not a quiet one.
    editEntry(u"products"_s, u"product_id"_s, 501, [](QJsonObject &product) {
        product[u"answers"] = QJsonObject{
            {u"requestDownloadInfo"_s,
             QJsonObject{{u"status"_s, true}, {u"templateData"_s, QJsonObject{{u"501"_s, u"not an entry"_s}}}}}};
    });
    const CliResult unusable = klv({u"install"_s, u"Alpha Titles"_s, u"--json"_s});
    EXPECT_EQ(unusable.exitCode, 4) << unusable.err.toStdString();
    const QJsonObject summary = QJsonDocument::fromJson(unusable.out.toUtf8()).object();
    EXPECT_EQ(summary[u"failed"_s].toArray().first()[u"name"_s], u"Alpha Titles"_s) << unusable.out.toStdString();
    EXPECT_EQ(summary[u"installed"_s].toArray(), QJsonArray());

    // The version answer counts only the boolean true as a yes, like every other answer.
    editCatalog([](QJsonObject &root) {
        root[u"answers"] = QJsonObject{
            {u"getProductVersion"_s, QJsonObject{{u"status"_s, 1}, {u"version"_s, u"99.0"_s}, {u"msg"_s, u"busy"_s}}}};
    });
    const CliResult check = klv({u"self-update"_s, u"--check"_s});
    EXPECT_EQ(check.exitCode, 1) << check.out.toStdString();
    EXPECT_FALSE(check.out.contains(u"update available"_s));
}

} // namespace
} // namespace klv::test
