#include "CliRun.h"
#include "SandboxHome.h"
#include "StoreProcess.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace klv::test {
namespace {

// A store with a self-signed certificate: trusted only when KLV_CA_FILE names it, never by ignoring errors.
class SecureStoreCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                       QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"),
                       QStringLiteral("-keyout"), keys.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"),
                       certificate()});
        ASSERT_TRUE(openssl.waitForFinished(60'000));
        ASSERT_EQ(openssl.exitCode(), 0);
        store =
            std::make_unique<StoreProcess>(StoreProcess::fixtureCatalog(),
                                           QStringList{QStringLiteral("--cert"), certificate(), QStringLiteral("--key"),
                                                       keys.filePath(QStringLiteral("key.pem"))});
        ASSERT_TRUE(store->start()) << store->errorString().toStdString();
        ASSERT_TRUE(store->url().startsWith(u"https://"));
    }

    QString certificate() const { return keys.filePath(QStringLiteral("cert.pem")); }
    CliResult login(const QString &caFile) const {
        QProcessEnvironment environment = home.environment();
        environment.insert(QStringLiteral("KLV_STORE_URL"), store->url());
        if (!caFile.isEmpty())
            environment.insert(QStringLiteral("KLV_CA_FILE"), caFile);
        return runKlv({QStringLiteral("login"), QStringLiteral("tester"), QStringLiteral("--password-stdin")},
                      environment, "secret\n");
    }

    SandboxHome home;
    QTemporaryDir keys;
    std::unique_ptr<StoreProcess> store;
};

TEST_F(SecureStoreCliTest, TrustsOnlyTheNamedAuthority) {
    const CliResult untrusted = login({});
    EXPECT_EQ(untrusted.exitCode, 3) << untrusted.err.toStdString() << untrusted.out.toStdString();
    EXPECT_TRUE(untrusted.err.contains(u"could not be reached")) << untrusted.err.toStdString();
    EXPECT_TRUE(store->requestLog().isEmpty());

    const CliResult trusted = login(certificate());
    EXPECT_EQ(trusted.exitCode, 0) << trusted.err.toStdString() << trusted.out.toStdString();
    EXPECT_EQ(store->requestLog().size(), 1);
}

} // namespace
} // namespace klv::test
