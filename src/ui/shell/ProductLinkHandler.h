#pragma once

#include "core/ProductLink.h"

#include <QObject>

#include <optional>

namespace klv {
class AppContext;
}

namespace klv::ui {

class MainViewController;

// Opens klv:// links — from the command line, from a second launch or from the store's pages — at their product in
// the library; an install link asks before it installs. A link that arrives before the library waits for it.
class ProductLinkHandler final : public QObject {
    Q_OBJECT
public:
    ProductLinkHandler(AppContext &context, MainViewController &window, QObject *parent = nullptr);

    // Every argument that starts with "klv:" is a link; the others are left alone.
    void openArguments(const QStringList &arguments);
    void openLink(const QString &text);

private:
    void tryPending();
    bool show(const ProductLink &link);

    AppContext &m_context;
    MainViewController &m_window;
    std::optional<ProductLink> m_pending;
};

} // namespace klv::ui
