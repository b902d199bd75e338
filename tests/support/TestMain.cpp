#include "SandboxHome.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char **argv) {
    // Nothing a test does reaches the invoking user's home.
    const klv::test::SandboxHome home;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
