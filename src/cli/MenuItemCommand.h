#pragma once

#include "core/Error.h"

#include "cli/Command.h"

#include "library/OutlineViewItem.h"

#include <optional>

namespace klv::cli {

// A menu item of one product that hands it to the desktop: `open` (Learn More) shows the product's page,
// `show` (View In Finder) a composite's folder. The client has no desktop of its own, so the address or the
// path is printed as well, for the customer to open.
class MenuItemCommand final : public Command {
    Q_OBJECT
public:
    enum class Item { learnMore, viewInFinder };
    MenuItemCommand(AppContext &context, const Terminal &terminal, Item item);

    QString name() const override;
    QString summary() const override;
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;

private:
    Error refusal(const OutlineViewItem &record) const;
    // The address or path handed to the desktop; nothing when there is none to hand.
    Error act(const OutlineViewItem &record);

    Item m_item;
};

} // namespace klv::cli
