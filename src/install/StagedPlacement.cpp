#include "install/StagedPlacement.h"

#include "core/AtomicRename.h"
#include "core/CrashPoint.h"
#include "install/FolderMove.h"
#include "install/PlacementJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThreadPool>

#include <sys/stat.h>

#include <utility>

namespace klv {

namespace {

bool exists(const QString &path) {
    const QFileInfo item(path);
    return item.exists() || item.isSymLink();
}

QString stagingPathBeside(const QString &target) {
    const QFileInfo info(target);
    return info.path() + u'/' + StagedPlacement::stagingPrefix +
           QString::number(QRandomGenerator::global()->generate64(), 36) + u'-' + info.fileName();
}

} // namespace

const QString StagedPlacement::stagingPrefix = QStringLiteral(".klv-staging-");

void StagedPlacement::removeLeftovers(const QString &folder) {
    const QStringList leftovers = QDir(folder).entryList(
        {stagingPrefix + u'*'}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : leftovers)
        removeItem(folder + u'/' + name);
}

StagedPlacement::StagedPlacement(QString journalPath)
    : m_journalPath(std::move(journalPath)) {}

StagedPlacement::~StagedPlacement() = default;

PlacementJournal *StagedPlacement::journal() {
    if (!m_journal && !m_journalPath.isEmpty())
        m_journal = std::make_unique<PlacementJournal>(m_journalPath);
    return m_journal.get();
}

void StagedPlacement::noteScratchFolder(const QString &path) {
    if (PlacementJournal *written = journal())
        written->copyBegins(path);
}

void StagedPlacement::endJournal() {
    if (m_journal)
        m_journal->done();
    m_journal.reset();
}

Error StagedPlacement::moveBesideTarget(Item &item, bool copies) {
    const QString staging = stagingPathBeside(item.target);
    if (PlacementJournal *written = journal()) {
        if (copies)
            written->copyBegins(staging);
        else
            written->moves(item.target, staging);
    }
    crashPoint("placement-move");
    if (Error error = moveItem(item.staging, staging)) {
        removeItem(staging);
        return error;
    }
    item.staging = staging;
    item.besideTarget = true;
    return std::nullopt;
}

// Whether one rename can move source into target's folder. The folders' file systems are looked up once: a package
// places a thousand templates from a few folders into a few others.
bool StagedPlacement::onOneFileSystem(const QString &source, const QString &target) {
    const auto deviceOf = [this](const QString &folder) -> std::optional<dev_t> {
        if (const auto known = m_devices.constFind(folder); known != m_devices.cend())
            return *known;
        struct stat status {};
        if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
            return std::nullopt;
        m_devices.insert(folder, status.st_dev);
        return status.st_dev;
    };
    const std::optional<dev_t> sourceDevice = deviceOf(QFileInfo(source).path());
    return sourceDevice && sourceDevice == deviceOf(QFileInfo(target).path());
}

Error StagedPlacement::stage(const QString &source, const QString &target) {
    // One rename away, the complete source is its own staging, which saves a rename. Should it replace something,
    // it moves beside its target when it is swapped in.
    Item item{target, source};
    if (!onOneFileSystem(source, target)) {
        if (Error error = moveBesideTarget(item, true))
            return error;
    }
    if (PlacementJournal *written = journal())
        written->staged(target, item.staging);
    crashPoint("placement-stage");
    m_items.append(item);
    return std::nullopt;
}

Error StagedPlacement::swapIn() {
    if (PlacementJournal *written = journal())
        written->swapBegins();
    for (Item &item : m_items) {
        crashPoint("placement-swap");
        // Mostly the name is free: trying costs less than looking first.
        Error error = renameToFreePath(item.staging, item.target);
        if (error && exists(item.target)) {
            item.replaced = true;
            // What it replaces must wait beside it, not where the source was.
            error = item.besideTarget ? std::nullopt : moveBesideTarget(item, false);
            if (!error)
                error = exchangeItems(item.staging, item.target, stagingPathBeside(item.target));
        }
        if (error) {
            item.replaced = false;
            takeBack();
            return error;
        }
        item.swapped = true;
    }
    return std::nullopt;
}

void StagedPlacement::putBack(Item &item) {
    if (!item.swapped)
        return;
    if (item.replaced) {
        if (exchangeItems(item.staging, item.target, stagingPathBeside(item.target)))
            return;
    } else {
        // Beside the target, not where it came from: that folder may be gone by now.
        const QString aside = stagingPathBeside(item.target);
        if (PlacementJournal *written = journal())
            written->moves(item.target, aside);
        if (renameToFreePath(item.target, aside))
            return;
        item.staging = aside;
    }
    item.swapped = false;
    item.replaced = false;
}

void StagedPlacement::markKept() {
    if (m_journal && !m_kept)
        m_journal->keeping();
    m_kept = true;
}

void StagedPlacement::keepInBackground(std::shared_ptr<StagedPlacement> &placement) {
    if (placement->isEmpty())
        return;
    placement->markKept();
    QThreadPool::globalInstance()->start(
        [kept = std::exchange(placement, std::make_shared<StagedPlacement>())] { kept->keep(); });
}

void StagedPlacement::keep() {
    markKept();
    for (const Item &item : std::as_const(m_items)) {
        crashPoint("placement-keep");
        if (!item.swapped || item.replaced)
            removeItem(item.staging);
    }
    m_items.clear();
    endJournal();
    m_kept = false;
}

void StagedPlacement::takeBack() {
    for (auto item = m_items.rbegin(); item != m_items.rend(); ++item) {
        putBack(*item);
        // What the staging name holds now is the new version (or nothing worth keeping).
        if (!item->swapped)
            removeItem(item->staging);
    }
    m_items.clear();
    endJournal();
}

QStringList StagedPlacement::targets() const {
    QStringList targets;
    for (const Item &item : m_items)
        targets.append(item.target);
    return targets;
}

} // namespace klv
