#pragma once

#include <cstdint>
#include <optional>

namespace klv {

enum class productFilterState : std::uint8_t {
    allProduct = 0,
    installedProduct,
    notInstalledProduct,
    needUpdateProduct
};

enum class productSortState : std::uint8_t { notSort = 0, aToZSort, zToASort };

// Sections of the main window; the raw values are the section numbers.
enum class appMenuIndex : int {
    featuredAppMenu = 0,
    myProductsAppMenu,
    saleOfTheDayAppMenu,
    freeProductAppMenu,
    myRewardsAppMenu,
    tutorialAppMenu,
    accountAppMenu,
    logintMenu
};

// Nothing for a number that names no section.
std::optional<appMenuIndex> makeAppMenuIndex(int raw);

} // namespace klv
