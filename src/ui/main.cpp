#include "WindowApplication.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    klv::ui::WindowApplication window(application);
    return window.run();
}
