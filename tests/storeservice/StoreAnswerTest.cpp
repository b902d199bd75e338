#include "storeservice/StoreAnswer.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace klv::storeservice {
namespace {

using namespace Qt::StringLiterals;

TEST(StoreAnswerTest, AnArrayWrittenByElementsReadsAsTheWholeObject) {
    const QList<QJsonObject> elements{{{u"product_name"_s, u"A \"quoted\" \u00e9"_s}}, {}, {{u"n"_s, 2}}};
    QJsonArray array;
    for (const QJsonObject &element : elements)
        array.append(element);
    for (const QJsonObject &head : {QJsonObject{{u"status"_s, true}, {u"msg"_s, u"ok"_s}}, QJsonObject{}}) {
        for (const QString &key : {u"data"_s, u"da\"ta\n"_s}) {
            QJsonObject whole = head;
            whole.insert(key, array);
            QJsonParseError error{};
            const QJsonDocument read =
                QJsonDocument::fromJson(StoreAnswer::objectWithArray(head, key, elements).body(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
            EXPECT_EQ(read.object(), whole);
        }
    }
    EXPECT_EQ(QJsonDocument::fromJson(StoreAnswer::objectWithArray({}, u"data"_s, {}).body()).object(),
              (QJsonObject{{u"data"_s, QJsonArray()}}));
}

} // namespace
} // namespace klv::storeservice
