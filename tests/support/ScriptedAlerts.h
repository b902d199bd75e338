#pragma once

#include "store/Alerts.h"

#include <QList>

namespace klv::test {

// Records every alert and answers with the next scripted button index (the first button when none is left).
class ScriptedAlerts final : public Alerts {
public:
    struct Shown {
        QString title;
        QString message;
        QStringList buttons;
    };

    int present(const QString &title, const QString &message, const QStringList &buttons) override {
        shown.append({title, message, buttons});
        return answers.isEmpty() ? 0 : answers.takeFirst();
    }

    QList<int> answers;
    QList<Shown> shown;
};

} // namespace klv::test
