#include "controls/StoreWebView.h"
#include "core/BufferReuse.h"
#include "shell/WindowApplication.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    klv::keepFreedBuffersForReuse();
    klv::ui::StoreWebView::prepareProcess();
    QApplication application(argc, argv);
    klv::ui::WindowApplication window(application);
    return window.run();
}
