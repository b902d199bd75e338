#pragma once

#include <QtGlobal>

namespace klv::platform {

// The one place that tells macOS from the other desktops (beside the folder map in Locations and ProcessTable's
// reading of the process table). Code asks these facts rather than testing the platform itself.
#ifdef Q_OS_MACOS
inline constexpr bool isMacOS = true;
#else
inline constexpr bool isMacOS = false;
#endif

// LaunchServices opens application bundles (registering a plug-in with its host); elsewhere a bundle is an AppDir
// whose AppRun is started.
inline constexpr bool opensBundlesWithLaunchServices = isMacOS;
// fontconfig does not watch the font folder: its cache is refreshed once fonts were added.
inline constexpr bool refreshesFontCache = !isMacOS;
// The settings are the per-user defaults store on macOS, an INI file elsewhere.
inline constexpr bool settingsInDefaultsStore = isMacOS;
// The system version: "sw_vers -productVersion" exists on macOS only.
inline constexpr bool hasSwVers = isMacOS;
// Terminals elsewhere have no glyph for the private-use Apple logo.
inline constexpr bool terminalsShowAppleLogo = isMacOS;

} // namespace klv::platform
