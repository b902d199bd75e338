#include "CliRun.h"
#include "SandboxHome.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// A store with a self-signed certificate: trusted only when KLV_CA_FILE names it, never by ignoring errors.
class SecureStoreCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                       u"/CN=localhost"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1,DNS:localhost"_s, u"-keyout"_s,
                       keys.filePath(u"key.pem"_s), u"-out"_s, certificate()});
        ASSERT_TRUE(openssl.waitForFinished(60'000));
        ASSERT_EQ(openssl.exitCode(), 0);
        store = std::make_unique<storeservice::StoreProcess>(
            fixtureCatalog(), QStringList{u"--cert"_s, certificate(), u"--key"_s, keys.filePath(u"key.pem"_s)});
        ASSERT_TRUE(store->start()) << store->errorString().toStdString();
        ASSERT_TRUE(store->url().startsWith(u"https://"));
    }

    QString certificate() const { return keys.filePath(u"cert.pem"_s); }
    CliResult login(const QString &caFile) const {
        QProcessEnvironment environment = home.environment();
        environment.insert(u"KLV_STORE_URL"_s, store->url());
        if (!caFile.isEmpty())
            environment.insert(u"KLV_CA_FILE"_s, caFile);
        return runKlv({u"login"_s, u"tester"_s, u"--password-stdin"_s}, environment, "secret\n");
    }

    SandboxHome home;
    QTemporaryDir keys;
    std::unique_ptr<storeservice::StoreProcess> store;
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
