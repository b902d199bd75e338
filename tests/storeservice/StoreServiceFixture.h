#pragma once

#include "StoreEnvelope.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <httplib.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <string>

namespace klv::test {

// klv-store with keys of its own over a catalog the test writes: one account ("tester", "secret") and the files
// notes.txt ("inside") and pack.bin (100 KB) below files/.
class StoreServiceFixture : public ::testing::Test {
protected:
    static inline const QByteArray accountKeyHex = "3f2a9c0e7d6b5a4938271605f4e3d2c1b0a99887766554433221100ffeeddccb";
    static inline const QByteArray marketingKeyHex = "a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7e8f90";
    static inline const std::string accountEndpoint = "/appsecureaccountinfo/";
    static inline const QByteArray pack = QByteArray("0123456789").repeated(10'240);

    void SetUp() override;

    static QStringList keyArguments();
    // Rewrites store.json with these faults; the running store reads it again.
    void writeCatalog(const QJsonArray &faults = {});
    httplib::Result get(const std::string &target) const;
    // The answer to a sign-in with these credentials, sealed under the account key.
    QJsonObject signIn(const QString &user, const QString &password) const;
    std::string signInTarget(const QString &user, const QString &password) const;

    QTemporaryDir catalog;
    storeservice::StoreProcess store{catalog.path(), keyArguments()};
};

} // namespace klv::test
