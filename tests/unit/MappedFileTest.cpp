#include "MappedFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace klv::storeservice {
namespace {

TEST(MappedFileTest, ServesTheFileAndNeverPastTheEndOfOneThatShrank) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pack.zip"));
    const QByteArray content = QByteArray("0123456789").repeated(100'000);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    const auto mapped = MappedFile::open(QFile::encodeName(path).toStdString());
    ASSERT_TRUE(mapped);
    ASSERT_EQ(mapped->size(), std::size_t(content.size()));
    EXPECT_EQ(QByteArrayView(mapped->data(), qsizetype(mapped->size())), content);
    EXPECT_EQ(mapped->available(0, 4096), 4096u);
    EXPECT_EQ(mapped->available(mapped->size() - 10, 4096), 10u);

    // Cut short while it is being sent: reading the mapping past the new end would crash the store.
    ASSERT_TRUE(QFile::resize(path, 1000));
    EXPECT_EQ(mapped->available(0, 4096), 1000u);
    EXPECT_EQ(mapped->available(990, 4096), 10u);
    EXPECT_EQ(mapped->available(5000, 4096), 0u);

    QFile empty(dir.filePath(QStringLiteral("empty.txt")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const auto none = MappedFile::open(QFile::encodeName(empty.fileName()).toStdString());
    ASSERT_TRUE(none);
    EXPECT_EQ(none->size(), 0u);
    EXPECT_EQ(none->available(0, 4096), 0u);

    EXPECT_FALSE(MappedFile::open(QFile::encodeName(dir.filePath(QStringLiteral("missing.zip"))).toStdString()));
    EXPECT_FALSE(MappedFile::open(QFile::encodeName(dir.path()).toStdString()));
}

} // namespace
} // namespace klv::storeservice
