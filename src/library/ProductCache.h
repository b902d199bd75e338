#pragma once

#include "core/Error.h"

#include "library/OutlineViewItem.h"

#include <QIODevice>
#include <QList>
#include <QString>

#include <optional>

namespace klv {

class Locations;

// The library as last shown, kept on disk (a compact JSON array of product dictionaries) so that a new start
// shows it, with its last known states, before the store answers.
namespace ProductCache {

// Nothing when the file is missing or does not hold a JSON array of objects.
std::optional<QList<OutlineViewItem>> load(const QString &path);
// The file's content: nothing unless it is a JSON array of objects, each read as a product record.
std::optional<QList<OutlineViewItem>> decode(const QByteArray &content);
QByteArray encode(const QList<OutlineViewItem> &products);
// The same content written to the device in pieces; false when it did not take one.
bool encode(const QList<OutlineViewItem> &products, QIODevice &device);
// Replaces the file atomically; the error text on failure.
Error save(const QString &path, const QList<OutlineViewItem> &products);

} // namespace ProductCache

// Deletes the product cache and the picture map file, each only if it exists; the pictures stay.
void clearProductCaches(const Locations &locations);

} // namespace klv
