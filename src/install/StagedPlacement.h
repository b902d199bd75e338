#pragma once

#include "core/Error.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <sys/types.h>

namespace klv {

class PlacementJournal;

// Places whole items (a template folder, a plug-in application) so that nothing half-written ever stands under
// an installed name. Each new item is completed under a hidden staging name beside its destination (same file
// system), then swapped in with one rename; the version it replaced stays under a staging name until the
// placement is kept (the old versions go) or taken back (they return). Staging names start with a dot, so no
// installed-product look-up matches them, and removeLeftovers() clears what a killed run left behind. An item that
// lies on its destination's file system already is complete where it is: it stays there until the swap (so its
// source must stay untouched until then), and moves beside its destination only when it replaces something.
//
// Blocking; one thread at a time.
class StagedPlacement final {
public:
    static const QString stagingPrefix;

    // With a journal path, every step is written down first, so that the next run can finish or undo a placement
    // that was killed (see PlacementJournal).
    explicit StagedPlacement(QString journalPath = {});
    ~StagedPlacement();
    Q_DISABLE_COPY_MOVE(StagedPlacement)

    // Removes every staging item in folder.
    static void removeLeftovers(const QString &folder);

    // Moves source, copied, to a staging name beside target when it lies on another file system; otherwise leaves
    // it where it is until the swap. On failure nothing of it stays beside target.
    // A folder the placement unpacks into before staging from it: a run killed meanwhile leaves it for the next
    // one to remove.
    void noteScratchFolder(const QString &path);
    Error stage(const QString &source, const QString &target);
    // Swaps every staged item in; an item that replaces something moves beside its target first. When one cannot be
    // swapped in, those already swapped are put back and the error returned.
    Error swapIn();
    // The placement stays: replaced versions and anything not swapped in are removed.
    void keep();
    // What keep() says first, at once: from now on the new versions stand, whatever happens to the old ones.
    // Installers say it before they leave the removal to a worker, so the product counts as installed right away.
    void markKept();
    // Marks the placement kept and leaves the removal of the replaced versions to a worker; the pointer is left
    // holding a new, empty placement, so that nothing the job's installer does afterwards (a release cancels it) can
    // take back what was kept.
    static void keepInBackground(std::shared_ptr<StagedPlacement> &placement);
    // The targets return to what they were before: swapped items are put back, everything staged is removed.
    void takeBack();

    bool isEmpty() const { return m_items.isEmpty(); }
    // Where the staged items go (or went).
    QStringList targets() const;

private:
    struct Item {
        QString target;
        QString staging;
        // Whether staging lies beside target rather than being the source itself.
        bool besideTarget = false;
        bool swapped = false;
        // The target existed: after the swap its old version sits at the staging name.
        bool replaced = false;
    };

    // Moves the item from where it stands to a staging name beside its target; on failure nothing stays there.
    // copies: the move may copy across file systems, so what stands at the new name may be partial until it ends.
    Error moveBesideTarget(Item &item, bool copies);
    PlacementJournal *journal();
    // The placement has ended, kept or taken back: its journal goes.
    void endJournal();
    void putBack(Item &item);
    bool onOneFileSystem(const QString &source, const QString &target);

    QList<Item> m_items;
    QHash<QString, dev_t> m_devices; // the file system of each folder seen, by path
    QString m_journalPath;
    std::unique_ptr<PlacementJournal> m_journal;
    bool m_kept = false;
};

} // namespace klv
