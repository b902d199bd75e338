#include "core/ProductImageMapArchive.h"

#include "core/BinaryPlistBounds.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace klv::ProductImageMapArchive {

namespace {

// The archive nests five levels deep (top, object table, dictionary, its key list, a reference) and a walk visits
// about a dozen objects per picture: these bounds leave ample room and keep libplist's recursion harmless.
constexpr BinaryPlistBounds::Limits archiveLimits{maxArchiveBytes, 32, qint64(1) << 22};

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

plist_t stringNode(const QString &text) {
    return plist_new_string(text.toUtf8().constData());
}

plist_t classNode(const char *name, std::initializer_list<const char *> hierarchy) {
    plist_t classes = plist_new_array();
    for (const char *ancestor : hierarchy)
        plist_array_append_item(classes, plist_new_string(ancestor));
    plist_t node = plist_new_dict();
    plist_dict_set_item(node, "$classname", plist_new_string(name));
    plist_dict_set_item(node, "$classes", classes);
    return node;
}

// A string holding a NUL is no name or address; libplist 2.2's plist_get_string_val would even abort on one.
std::optional<QString> stringValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    if (!text || length > uint64_t(std::numeric_limits<qsizetype>::max()) || std::memchr(text, 0, size_t(length)))
        return std::nullopt;
    return QString::fromUtf8(text, qsizetype(length));
}

std::optional<quint64> uidValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_UID)
        return std::nullopt;
    uint64_t uid = 0;
    plist_get_uid_val(node, &uid);
    return uid;
}

// The items of an array in order. libplist finds an item of a parsed array by walking its list from the start,
// so looking each one up would take quadratic time; one pass with an iterator does not.
std::vector<plist_t> arrayItems(plist_t array) {
    std::vector<plist_t> items;
    items.reserve(plist_array_get_size(array));
    plist_array_iter iterator = nullptr;
    plist_array_new_iter(array, &iterator);
    for (plist_t item = nullptr; plist_array_next_item(array, iterator, &item), item;)
        items.push_back(item);
    std::free(iterator);
    return items;
}

// Resolves references into the archive's object table.
class ObjectTable {
public:
    explicit ObjectTable(plist_t objects)
        : m_objects(arrayItems(objects)) {}

    plist_t at(plist_t reference) const {
        const std::optional<quint64> uid = uidValue(reference);
        if (!uid || *uid >= m_objects.size())
            return nullptr;
        return m_objects[*uid];
    }

    bool isNull(plist_t reference) const { return stringValue(at(reference)) == QStringLiteral("$null"); }

    std::optional<QString> className(plist_t object) const {
        if (!object || plist_get_node_type(object) != PLIST_DICT)
            return std::nullopt;
        plist_t description = at(plist_dict_get_item(object, "$class"));
        if (!description || plist_get_node_type(description) != PLIST_DICT)
            return std::nullopt;
        return stringValue(plist_dict_get_item(description, "$classname"));
    }

    std::optional<qint64> integer(plist_t reference) const {
        plist_t node = at(reference);
        if (!node || plist_get_node_type(node) != PLIST_UINT)
            return std::nullopt;
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<qint64>(value);
    }

    std::optional<QUrl> fileUrl(plist_t reference) const {
        plist_t object = at(reference);
        if (className(object) != QStringLiteral("NSURL") || !isNull(plist_dict_get_item(object, "NS.base")))
            return std::nullopt;
        const std::optional<QString> text = stringValue(at(plist_dict_get_item(object, "NS.relative")));
        if (!text)
            return std::nullopt;
        const QUrl url(*text);
        if (!url.isValid() || !url.isLocalFile())
            return std::nullopt;
        return url;
    }

private:
    std::vector<plist_t> m_objects;
};

} // namespace

QByteArray encode(const ProductImageMap &map) {
    // Object table: $null, the dictionary, then per entry its key, its URL object and the URL's text,
    // then the two class descriptions.
    const auto entryCount = static_cast<quint64>(map.size());
    const quint64 dictionaryClass = 2 + 3 * entryCount;
    const quint64 urlClass = dictionaryClass + 1;

    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t keys = plist_new_array();
    plist_t values = plist_new_array();
    plist_t dictionary = plist_new_dict();
    plist_array_append_item(objects, dictionary);

    quint64 next = 2;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const quint64 keyUid = next++;
        const quint64 urlUid = next++;
        const quint64 textUid = next++;
        plist_array_append_item(keys, plist_new_uid(keyUid));
        plist_array_append_item(values, plist_new_uid(urlUid));
        plist_array_append_item(objects, plist_new_uint(static_cast<uint64_t>(it.key())));
        plist_t url = plist_new_dict();
        plist_dict_set_item(url, "NS.base", plist_new_uid(0));
        plist_dict_set_item(url, "NS.relative", plist_new_uid(textUid));
        plist_dict_set_item(url, "$class", plist_new_uid(urlClass));
        plist_array_append_item(objects, url);
        plist_array_append_item(objects, stringNode(it.value().toString(QUrl::FullyEncoded)));
    }
    plist_dict_set_item(dictionary, "NS.keys", keys);
    plist_dict_set_item(dictionary, "NS.objects", values);
    plist_dict_set_item(dictionary, "$class", plist_new_uid(dictionaryClass));
    plist_array_append_item(objects,
                            classNode("NSMutableDictionary", {"NSMutableDictionary", "NSDictionary", "NSObject"}));
    if (!map.isEmpty())
        plist_array_append_item(objects, classNode("NSURL", {"NSURL", "NSObject"}));

    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    PlistPtr root(plist_new_dict());
    plist_dict_set_item(root.get(), "$version", plist_new_uint(100000));
    plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(root.get(), "$top", top);
    plist_dict_set_item(root.get(), "$objects", objects);

    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    QByteArray result(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return result;
}

std::optional<ProductImageMap> decode(const QByteArray &data) {
    if (BinaryPlistBounds::check(data, archiveLimits))
        return std::nullopt;
    plist_t parsed = nullptr;
    plist_from_bin(data.constData(), static_cast<uint32_t>(data.size()), &parsed);
    const PlistPtr root(parsed);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    if (stringValue(plist_dict_get_item(root.get(), "$archiver")) != QStringLiteral("NSKeyedArchiver"))
        return std::nullopt;
    plist_t objects = plist_dict_get_item(root.get(), "$objects");
    plist_t top = plist_dict_get_item(root.get(), "$top");
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY || !top || plist_get_node_type(top) != PLIST_DICT)
        return std::nullopt;

    const ObjectTable table(objects);
    plist_t dictionary = table.at(plist_dict_get_item(top, "root"));
    const std::optional<QString> className = table.className(dictionary);
    if (className != QStringLiteral("NSDictionary") && className != QStringLiteral("NSMutableDictionary"))
        return std::nullopt;
    plist_t keys = plist_dict_get_item(dictionary, "NS.keys");
    plist_t values = plist_dict_get_item(dictionary, "NS.objects");
    if (!keys || !values || plist_get_node_type(keys) != PLIST_ARRAY || plist_get_node_type(values) != PLIST_ARRAY ||
        plist_array_get_size(keys) != plist_array_get_size(values))
        return std::nullopt;

    ProductImageMap map;
    const std::vector<plist_t> keyItems = arrayItems(keys);
    const std::vector<plist_t> valueItems = arrayItems(values);
    for (std::size_t i = 0; i < keyItems.size(); ++i) {
        const std::optional<qint64> key = table.integer(keyItems[i]);
        const std::optional<QUrl> url = table.fileUrl(valueItems[i]);
        if (!key || !url)
            return std::nullopt;
        map.insert(*key, *url);
    }
    return map;
}

} // namespace klv::ProductImageMapArchive
