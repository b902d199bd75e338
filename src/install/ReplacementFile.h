#pragma once

#include <QByteArray>
#include <QString>

namespace klv {

// The new version of a file, written beside it and renamed over it, so a reader sees the old or the new file, never
// a part of one; removed again unless committed. Bytes go straight to the file without a buffer, so memory stays
// flat and a failed write (a full disk) shows at once. Unlike QSaveFile there is no sync to disk: the installation
// around it is not synced either, and syncing a thousand template documents takes seconds on a busy disk.
class ReplacementFile final {
public:
    explicit ReplacementFile(const QString &target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    bool open();
    bool isOpen() const { return m_descriptor >= 0; }
    bool write(const char *data, qsizetype size);
    // Gives the new file the permissions of the target and renames it over the target.
    bool commit();
    // Why the last step failed.
    QString errorString() const { return m_error; }

private:
    bool failed();

    QByteArray m_target;
    QByteArray m_path;
    int m_descriptor = -1;
    QString m_error;
};

} // namespace klv
