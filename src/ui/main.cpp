#include "Theme.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KLV App"));
    klv::ui::theme::apply(application);
    QWidget window;
    window.setFixedSize(1103, 754);
    window.show();
    return QApplication::exec();
}
