#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace klv {

// How one product's files compare with its manifest.
struct ProductCheck {
    QString product;
    QStringList missing;
    QStringList changed;
    QStringList extra;
    // The installed items (template folders, bundles, …) that hold a difference: what a repair replaces.
    QStringList damagedItems;
    // There was no manifest: what stands on disk was described and is the reference from now on.
    bool baselineTaken = false;
    // A manifest stood there but could not be read (damaged on disk): the baseline replaced it, so what changed
    // before it was taken cannot be told.
    bool recordUnreadable = false;
    // Neither a manifest nor anything installed: there was nothing to compare.
    bool unknown = false;
    // The release an update was placing when it stopped part-way: some parts are still the earlier one.
    std::optional<QString> unfinishedUpdate;
    // Those parts ("templates", "fonts", …), when the product's update has several.
    QStringList partsBehind;

    bool intact() const { return missing.isEmpty() && changed.isEmpty() && extra.isEmpty(); }
};

// Compares what is on disk with the manifests in the maker's folder. Blocking: a full verification reads every
// file, so front ends run it on a worker.
class InstallVerifier final {
public:
    enum class Depth {
        // Sizes and modification times only.
        quick,
        // Sizes, then the content of every file against its recorded digest.
        full,
    };

    explicit InstallVerifier(QString makerFolder);

    // installedItems: where the product stands today, used only when it has no manifest yet.
    ProductCheck verify(const QString &product, qint64 productId, const QString &version,
                        const QStringList &installedItems, Depth depth) const;

private:
    QString m_makerFolder;
};

} // namespace klv
