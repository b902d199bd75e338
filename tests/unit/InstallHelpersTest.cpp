#include "core/ByteCountFormat.h"
#include "core/SafeName.h"

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

TEST(FormatByteCount, DividesOnlyWhileAboveTheStepAndStopsAfterGigabytes) {
    const std::pair<qint64, const char16_t *> cases[] = {
        {0, u"0.00 bytes"},
        {512, u"512.00 bytes"},
        {1023, u"1023.00 bytes"},
        {1024, u"1024.00 bytes"},
        {1025, u"1.00 KB"},
        {1536, u"1.50 KB"},
        {1048576, u"1024.00 KB"},
        {1048577, u"1.00 MB"},
        {3565158, u"3.40 MB"},
        {qint64{1} << 30, u"1024.00 MB"},
        {(qint64{1} << 30) + 1, u"1.00 GB"},
        {qint64{1} << 40, u"1024.00 GB"},
        {(qint64{1} << 40) + 1, u""},
        {qint64{2} << 40, u""},
        {-1, u"-1.00 bytes"},
    };
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(formatByteCount(bytes), QStringView(text)) << bytes;
}

TEST(SafePathComponent, OnlyOnePlainComponentIsSafe) {
    for (const QString &name :
         {u"Lower Thirds"_s, u"...."_s, u".hidden"_s, u"Tom's \"Pack\" $x `y`"_s, u"Überblende"_s, u"a\\b"_s}) {
        EXPECT_TRUE(isSafePathComponent(name)) << name.toStdString();
        EXPECT_FALSE(unsafePathComponentReason(name));
    }
    const std::pair<QString, QString> unsafe[] = {
        {QString(), u"The name “” cannot be used as a file name: it is empty."_s},
        {u"."_s, u"The name “.” cannot be used as a file name: it names a folder itself."_s},
        {u".."_s, u"The name “..” cannot be used as a file name: it names a folder itself."_s},
        {u"/"_s, u"The name “/” cannot be used as a file name: it contains “/”."_s},
        {u"../../etc"_s, u"The name “../../etc” cannot be used as a file name: it contains “/”."_s},
        {u"Pack"_s + QChar(0) + u"x"_s,
         u"The name “Pack\\0x” cannot be used as a file name: it contains a NUL character."_s},
    };
    for (const auto &[name, reason] : unsafe) {
        EXPECT_FALSE(isSafePathComponent(name));
        const Error refused = unsafePathComponentReason(name);
        ASSERT_TRUE(refused);
        EXPECT_EQ(*refused, reason);
    }
}

} // namespace
} // namespace klv
