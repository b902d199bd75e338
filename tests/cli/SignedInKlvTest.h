#pragma once

#include "CliRun.h"
#include "SandboxHome.h"
#include "TestFiles.h"
#include "storeservice/StoreProcess.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace klv::test {

// The story most klv tests begin with: a sandbox home, klv-store serving a copy of a catalog folder, every address
// klv may reach pointing at that store, and klv signed in there as "tester" (unless the test signs in itself).
class SignedInKlvTest : public ::testing::Test {
protected:
    enum class Account { signedIn, signedOut };

    explicit SignedInKlvTest(QString catalogSource = installCatalog(), Account account = Account::signedIn);

    void SetUp() override;
    // A test that serves something of its own before the store starts does it here.
    virtual void prepareCatalog() {}
    // The sandbox home's environment with the store's addresses; a test adds its own settings on top.
    virtual QProcessEnvironment environment() const;

    CliResult klv(const QStringList &arguments, const QByteArray &input = {}) const;
    CliResult signInAs(const QString &user, const QByteArray &password = "secret") const;
    // Changes the served store.json; the running store reads it again.
    void editCatalog(const std::function<void(QJsonObject &)> &edit) const;
    // How many requests of one type ("rt") the store has had so far.
    int requestsOf(const QString &type) const;

    SandboxHome home;
    QTemporaryDir catalog;
    storeservice::StoreProcess store{catalog.path()};

private:
    QString m_catalogSource;
    Account m_account;
};

} // namespace klv::test
