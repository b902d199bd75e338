#pragma once

namespace klv {

// The kinds of notification the program posts; each decides the texts and buttons shown.
enum class notificationType : int { installComplete = 0, buySale, news, klvAppUpdate };

} // namespace klv
