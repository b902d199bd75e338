#pragma once

#include "core/DownloadFolder.h"

#include <QFile>
#include <QString>

#include <optional>

#include <sys/types.h>

namespace klv {

// What a placement is doing, written down before each step, so that a run killed anywhere (kill -9, a crash, a
// power cut) can be finished or undone by the next one: a product is then whole in its old version, whole in its
// new one, or absent — never some of each. One journal per placement, beside the job's folder in the download
// folder (named as DownloadFolder says); while it exists, and is not kept, the product counts as not installed.
//
// Records, one a line, fields apart by tabs:
//   P <staging>                     a copy to a staging name begins (what stands there may be partial)
//   I <target> <staging> <dev> <ino> an item is staged whole; dev and ino name the new version wherever it goes
//   M <target> <staging>            the new version of target is about to move to another staging name
//   W                               every item is staged: from here on the placement goes forward
// The file is renamed to "….kept" when the placement is kept: the new version stands, only old versions remain to
// be removed.
class PlacementJournal final {
public:
    explicit PlacementJournal(QString path);
    ~PlacementJournal();
    Q_DISABLE_COPY_MOVE(PlacementJournal)

    void copyBegins(const QString &staging);
    void staged(const QString &target, const QString &staging);
    void moves(const QString &target, const QString &staging);
    void swapBegins();
    // The new version stands: the journal is set aside as kept until the old versions are gone, then removed.
    void keeping();
    void done();

    struct Recovery {
        // The products whose placement was finished or undone, so their states can be detected again.
        QStringList products;
        // A step that could not be taken, one line each: its journal and job folder stay for the next start.
        QStringList problems;
    };
    // Finishes or undoes what the journals in the download folder describe and removes them with their jobs'
    // folders.
    static Recovery recoverAll(const DownloadFolder &downloads);

private:
    void write(const QString &line);

    QString m_path;
    QFile m_file;
};

} // namespace klv
