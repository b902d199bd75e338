#pragma once

#include <QList>
#include <QString>

namespace klv {

// Which of the two host applications run, the process lines that showed it ("PID COMMAND LINE", one a line)
// and the processes to ask to quit.
struct OpenHostApps {
    bool finalCutPro = false;
    bool motion = false;
    QString finalCutProLines;
    QString motionLines;
    QList<qint64> finalCutProPids;
    QList<qint64> motionPids;

    bool any() const { return finalCutPro || motion; }
};

OpenHostApps findOpenHostApps();
// Asks every open host application to quit.
void closeHostApps(const OpenHostApps &apps);

} // namespace klv
