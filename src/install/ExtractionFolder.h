#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <ctime>
#include <utility>
#include <vector>

namespace klv {

// The folder an archive is unpacked into, opened once. Items are created relative to it one folder at a time, and
// no component is ever followed when it is a link (O_NOFOLLOW at every level): neither an entry name nor a link left
// in the folder can make a write land outside it. The folders of the latest item stay open, since archives list
// a folder's items together; so an entry costs a few system calls instead of a walk down the whole path.
//
// Errors are errno values (0 for success). Modes are filtered by the umask, as open(2) and mkdir(2) do.
class ExtractionFolder final {
public:
    explicit ExtractionFolder(const QString &root);
    ~ExtractionFolder();
    ExtractionFolder(const ExtractionFolder &) = delete;
    ExtractionFolder &operator=(const ExtractionFolder &) = delete;

    // Why the folder could not be opened, or 0.
    int openError() const { return m_root < 0 ? -m_root : 0; }
    // Makes the folder and the missing ones above it (those with mode 0755); an existing folder is kept.
    int makeFolder(const QStringList &components, mode_t mode);
    // A new, empty file: a file already there is replaced, a folder or link there is an error. Returns the open
    // descriptor, which the caller closes, or minus the errno value.
    int createFile(const QStringList &components, mode_t mode);
    // Access and modification times of an item that exists, without following a link.
    int setTimes(const QStringList &components, const timespec (&times)[2]);

private:
    // The descriptor of the folder that holds the last component, its missing folders made; minus errno on failure.
    int parentOf(const QStringList &components);
    // Opens the folder below parent, made when missing; created says whether this call made it.
    int openFolder(int parent, bool parentCreated, const QByteArray &name, mode_t mode, bool &created);
    void closeFrom(size_t depth);

    struct OpenFolder {
        QByteArray name;
        int descriptor;
        // Made by this unpacking: nothing inside it can exist yet but what the unpacking wrote.
        bool created;
    };
    int m_root;
    std::vector<OpenFolder> m_openFolders; // from the root down
};

} // namespace klv
