#pragma once

#include <QString>
#include <QTemporaryDir>

namespace klv::fuzz {

// A folder of this fuzzing process for the files of one input, in memory (/dev/shm) where the machine has it, so
// that thousands of inputs a second touch no disk. Removed when the process ends.
class ScratchFolder final {
public:
    ScratchFolder();

    // The path below the folder, whose items the previous input left are removed first.
    QString emptied(const QString &name) const;

private:
    QTemporaryDir m_folder;
};

} // namespace klv::fuzz
