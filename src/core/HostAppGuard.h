#pragma once

#include <QString>

namespace klv {

// Which of the two host applications run, and the process lines that showed it.
struct OpenHostApps {
    bool finalCutPro = false;
    bool motion = false;
    QString finalCutProLines;
    QString motionLines;

    bool any() const { return finalCutPro || motion; }
};

OpenHostApps findOpenHostApps();
// Asks every open host application to quit.
void closeHostApps(const OpenHostApps &apps);

} // namespace klv
