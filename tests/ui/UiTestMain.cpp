#include "controls/StoreWebView.h"

#include "SandboxHome.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <unistd.h>

// Qt WebEngine's Chromium frees some objects with a sized delete that AddressSanitizer takes for a type mismatch;
// the window's tests leave that one check out.
extern "C" const char *__asan_default_options() {
    return "new_delete_type_mismatch=0";
}

// The window's tests need a widget application; without a display they run offscreen.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // WebEngine refuses to run as root with its sandbox on; CI may run the tests as root.
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // Nothing a test does reaches the invoking user's home.
    const klv::test::SandboxHome home;
    klv::ui::StoreWebView::prepareProcess();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
