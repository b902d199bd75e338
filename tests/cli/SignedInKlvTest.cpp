#include "SignedInKlvTest.h"

#include <utility>

namespace klv::test {

using namespace Qt::StringLiterals;

SignedInKlvTest::SignedInKlvTest(QString catalogSource, Account account)
    : m_catalogSource(std::move(catalogSource))
    , m_account(account) {}

void SignedInKlvTest::SetUp() {
    ASSERT_TRUE(catalog.isValid());
    copyFolder(m_catalogSource, catalog.path());
    ASSERT_NO_FATAL_FAILURE(prepareCatalog());
    ASSERT_TRUE(store.start()) << store.errorString().toStdString();
    if (m_account == Account::signedIn) {
        const CliResult signedIn = signInAs(u"tester"_s);
        ASSERT_EQ(signedIn.exitCode, 0) << signedIn.err.toStdString();
    }
}

QProcessEnvironment SignedInKlvTest::environment() const {
    QProcessEnvironment environment = home.environment();
    environment.insert(u"KLV_STORE_URL"_s, store.url());
    environment.insert(u"KLV_PLUGIN_SITE_URL"_s, store.url() + u"/files/plugins/"_s);
    environment.insert(u"KLV_FONT_STORE_URL"_s, store.url() + u"/files/fonts/"_s);
    return environment;
}

CliResult SignedInKlvTest::klv(const QStringList &arguments, const QByteArray &input) const {
    return runKlv(arguments, environment(), input);
}

CliResult SignedInKlvTest::signInAs(const QString &user, const QByteArray &password) const {
    return klv({u"login"_s, user, u"--password-stdin"_s}, password + '\n');
}

void SignedInKlvTest::editCatalog(const std::function<void(QJsonObject &)> &edit) const {
    ASSERT_TRUE(test::editCatalog(catalog.path(), edit));
}

int SignedInKlvTest::requestsOf(const QString &type) const {
    int count = 0;
    for (const QJsonObject &request : store.requestLog())
        count += request[u"rt"_s] == type ? 1 : 0;
    return count;
}

} // namespace klv::test
