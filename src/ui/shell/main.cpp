#include "controls/StoreWebView.h"
#include "core/BufferReuse.h"
#include "core/LocalTimeZone.h"
#include "shell/WindowApplication.h"
#include "shell/WindowCommandLine.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    if (const std::optional<int> answered = klv::ui::answerWithoutWindow(argc, argv))
        return *answered;
    klv::keepFreedBuffersForReuse();
    klv::loadLocalTimeZoneOnce();
    klv::ui::StoreWebView::prepareProcess();
    QApplication application(argc, argv);
    klv::ui::WindowApplication window(application);
    return window.run();
}
