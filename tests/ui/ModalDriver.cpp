#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <algorithm>

namespace klv::test {

void whenMessageBoxShows(std::function<void(QMessageBox &)> action) {
    auto *poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action = std::move(action)] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action(*box);
    });
    poll->start();
}

void answerMessageBox(const QString &buttonText, QStringList *seenButtons, QString *seenText) {
    whenMessageBoxShows([=](QMessageBox &box) {
        const QList<QAbstractButton *> buttons = buttonsLeftToRight(box);
        if (seenText)
            *seenText = box.text();
        for (QAbstractButton *button : buttons) {
            if (seenButtons)
                seenButtons->append(button->text());
        }
        for (QAbstractButton *button : buttons) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
        box.reject();
    });
}

QList<QAbstractButton *> buttonsLeftToRight(const QMessageBox &box) {
    QList<QAbstractButton *> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(), [](const QAbstractButton *a, const QAbstractButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    return buttons;
}

} // namespace klv::test
