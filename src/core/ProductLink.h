#pragma once

#include <QString>

#include <optional>

namespace klv {

// A klv:// link from the store's web pages: klv://install/<product id> or klv://product/<product id>.
struct ProductLink {
    enum class Action { install, showProduct };
    Action action = Action::showProduct;
    qint64 productId = 0;

    friend bool operator==(const ProductLink &, const ProductLink &) = default;
};

// The link it names, or why it is refused. Anything else than the two forms is refused: a link can come from any
// web page, so nothing of it is guessed.
struct ProductLinkParse {
    std::optional<ProductLink> link;
    QString refusal;
};

ProductLinkParse parseProductLink(const QString &text);

} // namespace klv
