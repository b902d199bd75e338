#include "core/ProductLink.h"

#include <QUrl>

#include <algorithm>

namespace klv {

namespace {

// Product numbers are positive and fit in 64 bits with room to spare.
constexpr qsizetype maximumIdDigits = 15;

ProductLinkParse refused(const QString &text, const QString &reason) {
    return {std::nullopt, u"The link \"" + text + u"\" cannot be opened: " + reason};
}

} // namespace

ProductLinkParse parseProductLink(const QString &text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return refused(text, QStringLiteral("it is not a valid address."));
    if (url.scheme() != u"klv")
        return refused(text, QStringLiteral("it is not a klv:// link."));
    if (!url.userInfo().isEmpty() || url.port() != -1 || url.hasQuery() || url.hasFragment())
        return refused(text, QStringLiteral("it carries parts a klv:// link does not have."));

    ProductLink link;
    if (url.host() == u"install")
        link.action = ProductLink::Action::install;
    else if (url.host() == u"product")
        link.action = ProductLink::Action::showProduct;
    else
        return refused(text, QStringLiteral("it names no known action (install or product)."));

    QString id = url.path(QUrl::FullyEncoded);
    if (id.endsWith(u'/'))
        id.chop(1);
    if (!id.startsWith(u'/'))
        return refused(text, QStringLiteral("it names no product."));
    id.remove(0, 1);
    const bool digitsOnly = !id.isEmpty() && id.size() <= maximumIdDigits &&
                            std::all_of(id.cbegin(), id.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    link.productId = digitsOnly ? id.toLongLong() : 0;
    if (link.productId <= 0)
        return refused(text, QStringLiteral("its product number is not a positive number."));
    return {link, {}};
}

} // namespace klv
