#include "install/PlacementJournal.h"

#include "core/AtomicRename.h"
#include "core/ContainedRemoval.h"
#include "install/FolderMove.h"
#include "install/PartialDownload.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSet>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const Identity &, const Identity &) = default;
};

std::optional<Identity> identityOf(const QString &path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return Identity{status.st_dev, status.st_ino};
}

bool exists(const QString &path) {
    return identityOf(path).has_value();
}

// A staged item as its journal left it: the new version is known by its identity, wherever it stands.
struct JournalItem {
    QString target;
    QString staging;
    Identity identity;

    bool newAtTarget() const { return identityOf(target) == identity; }
    bool newAtStaging() const { return identityOf(staging) == identity; }
};

struct Journal {
    QList<JournalItem> items;
    QSet<QString> partialCopies;
    bool forward = false;
};

Journal read(const QString &path, bool kept) {
    Journal journal;
    journal.forward = kept;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return journal;
    QHash<QString, qsizetype> byTarget;
    // A line cut by a crash mid-write is the one at the end, and is left out as if it had not been written.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QStringList fields = QString::fromUtf8(lines[i]).split(u'\t');
        const QString &kind = fields.constFirst();
        if (kind == u"P" && fields.size() == 2) {
            journal.partialCopies.insert(fields[1]);
        } else if (kind == u"I" && fields.size() == 5) {
            journal.partialCopies.remove(fields[2]);
            byTarget.insert(fields[1], journal.items.size());
            journal.items.append(
                {fields[1],
                 fields[2],
                 {static_cast<dev_t>(fields[3].toULongLong()), static_cast<ino_t>(fields[4].toULongLong())}});
        } else if (kind == u"M" && fields.size() == 3 && byTarget.contains(fields[1])) {
            journal.items[byTarget.value(fields[1])].staging = fields[2];
        } else if (kind == u"W") {
            journal.forward = true;
        }
    }
    return journal;
}

QString asideOf(const QString &target) {
    const QFileInfo info(target);
    return info.path() + u"/.klv-staging-recovery-"_s + info.fileName();
}

void noteProblem(const Error &error, const QString &target, QStringList &problems) {
    if (error)
        problems << target + u": "_s + *error;
}

// Every new version stands at its target; what the targets held before goes. A step that fails leaves both
// versions where they are, for the next attempt.
QStringList finish(const QList<JournalItem> &items) {
    QStringList problems;
    for (const JournalItem &item : items) {
        if (!item.newAtTarget()) {
            const Error moved = exists(item.target) ? exchangeItems(item.staging, item.target, asideOf(item.target))
                                                    : renameToFreePath(item.staging, item.target);
            noteProblem(moved, item.target, problems);
            if (moved)
                continue;
        }
        if (exists(item.staging) && !item.newAtStaging())
            removeItem(item.staging);
    }
    return problems;
}

// Every target holds what it held before the placement; the new versions go.
QStringList undo(const QList<JournalItem> &items) {
    QStringList problems;
    for (auto item = items.crbegin(); item != items.crend(); ++item) {
        if (item->newAtTarget()) {
            if (exists(item->staging) && !item->newAtStaging()) {
                const Error restored = exchangeItems(item->staging, item->target, asideOf(item->target));
                noteProblem(restored, item->target, problems);
                if (restored)
                    continue;
            } else {
                removeItem(item->target);
            }
        }
        if (item->newAtStaging())
            removeItem(item->staging);
    }
    return problems;
}

} // namespace

PlacementJournal::PlacementJournal(QString path)
    : m_path(std::move(path))
    , m_file(m_path) {
    QDir().mkpath(QFileInfo(m_path).path());
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

PlacementJournal::~PlacementJournal() = default;

void PlacementJournal::write(const QString &line) {
    // Unbuffered: each record is in the file before the step it announces is taken.
    m_file.write((line + u'\n').toUtf8());
}

void PlacementJournal::copyBegins(const QString &staging) {
    write(u"P\t"_s + staging);
}

void PlacementJournal::staged(const QString &target, const QString &staging) {
    struct stat status {};
    ::lstat(QFile::encodeName(staging).constData(), &status);
    write(u"I\t"_s + target + u'\t' + staging + u'\t' + QString::number(status.st_dev) + u'\t' +
          QString::number(status.st_ino));
}

void PlacementJournal::moves(const QString &target, const QString &staging) {
    write(u"M\t"_s + target + u'\t' + staging);
}

void PlacementJournal::swapBegins() {
    write(u"W"_s);
    // From here the journal decides that the placement goes forward: it must survive a power cut.
    m_file.flush();
    ::fsync(m_file.handle());
}

void PlacementJournal::keeping() {
    m_file.close();
    const QString kept = DownloadFolder::keptJournalOf(m_path);
    QFile::remove(kept);
    if (QFile::rename(m_path, kept))
        m_path = kept;
}

void PlacementJournal::done() {
    m_file.close();
    QFile::remove(m_path);
}

PlacementJournal::Recovery PlacementJournal::recoverAll(const DownloadFolder &downloads) {
    const QDir folder(downloads.path());
    Recovery recovery;
    for (const QString &name : downloads.journals()) {
        const bool kept = DownloadFolder::isKeptJournal(name);
        const Journal journal = read(folder.filePath(name), kept);
        // Forward only when every new version is still there to take its place.
        const bool canFinish = std::all_of(journal.items.cbegin(), journal.items.cend(), [](const JournalItem &item) {
            return item.newAtTarget() || item.newAtStaging();
        });
        const QStringList problems = journal.forward && canFinish ? finish(journal.items) : undo(journal.items);
        if (!problems.isEmpty()) {
            recovery.problems += problems;
            continue;
        }
        for (const QString &copy : journal.partialCopies)
            removeItem(copy);
        const QString product = DownloadFolder::productOf(name);
        // A journal's name is read from the disk: what it names is removed only inside the download folder.
        for (const QString &left : {downloads.jobFolder(product), downloads.looksFolder(product)}) {
            if (const Error error = ContainedRemoval::removeTree(left))
                recovery.problems << *error;
        }
        // A package without its note was whole (or cannot be continued): nothing of it is left to resume. One with
        // its note, of another part still downloading when the run stopped, is kept for the next attempt.
        for (const QFileInfo &partial : downloads.partials()) {
            if (DownloadFolder::productOf(partial.fileName()) == product &&
                !QFileInfo::exists(DownloadFolder::noteOf(partial.filePath())))
                QFile::remove(partial.filePath());
        }
        QFile::remove(folder.filePath(name));
        if (!recovery.products.contains(product))
            recovery.products.append(product);
    }
    return recovery;
}

} // namespace klv
