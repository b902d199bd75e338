#include "storeservice/AccountRequests.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

bool sameText(const QJsonValue &value, const QString &text) {
    return value.isString() && value.toString() == text;
}

} // namespace

void AccountRequests::registerWith(RequestRouter &router, const QString &endpoint) {
    router.addHandler(endpoint, u"userLogin"_s, &AccountRequests::userLogin);
    router.addHandler(endpoint, u"linkCode"_s, &AccountRequests::linkCode);
}

StoreAnswer AccountRequests::userLogin(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 2) {
        return StoreAnswer::failure(
            u"userLogin takes p2 (user name) and p3 (password), got %1 parameters"_s.arg(request.parameters.size()));
    }
    const QString &user = request.parameters.at(0);
    const QString &password = request.parameters.at(1);
    const QJsonArray accounts = catalog.content().value(u"accounts"_s).toArray();
    for (const auto &entry : accounts) {
        const QJsonObject account = entry.toObject();
        if (sameText(account.value(u"user"_s), user) && sameText(account.value(u"password"_s), password)) {
            return signedIn(account);
        }
    }
    return StoreAnswer::failure(u"Unknown user name or wrong password"_s);
}

StoreAnswer AccountRequests::linkCode(const DecodedRequest &request, Catalog &catalog) {
    if (request.parameters.size() != 1) {
        return StoreAnswer::failure(
            u"linkCode takes p2 (the link code), got %1 parameters"_s.arg(request.parameters.size()));
    }
    const QString &code = request.parameters.at(0);
    const QJsonArray accounts = catalog.content().value(u"accounts"_s).toArray();
    for (const auto &entry : accounts) {
        const QJsonObject account = entry.toObject();
        const QJsonArray codes = account.value(u"linkCodes"_s).toArray();
        if (std::any_of(codes.begin(), codes.end(),
                        [&code](const QJsonValue &known) { return sameText(known, code); })) {
            return signedIn(account);
        }
    }
    return StoreAnswer::failure(u"Unknown link code"_s);
}

StoreAnswer AccountRequests::signedIn(const QJsonObject &account) {
    if (account.contains(u"answer"_s)) {
        return StoreAnswer::scripted(account.value(u"answer"_s));
    }
    return StoreAnswer::object({{u"status"_s, true},
                                {u"msg"_s, u"Signed in"_s},
                                {u"name"_s, account.value(u"name"_s).toString()},
                                {u"email"_s, account.value(u"email"_s).toString()}});
}

} // namespace klv::storeservice
