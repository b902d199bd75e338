# Build-time configuration; each value can be overridden per run by an environment variable of the same name.
set(KLV_STORE_URL "http://127.0.0.1:8765" CACHE STRING "Store web service: scheme and host, no path")
set(KLV_STORE_KEY "6b6c7661707073746f72656b65792d646576656c6f706d656e742d6f6e6c7921" CACHE STRING
  "Store request key, 64 hex digits")
set(KLV_MARKETING_KEY "6b6c76617070206d61726b6574696e67206b6579202d20646576206f6e6c7921" CACHE STRING
  "Marketing request key, 64 hex digits")
set(KLV_DOWNLOAD_BUCKET_URL "http://127.0.0.1:8765/files/bucket/" CACHE STRING "Download bucket of the application and updater")
set(KLV_PLUGIN_SITE_URL "http://127.0.0.1:8765/files/plugins/" CACHE STRING "Plug-in download site")
set(KLV_FONT_STORE_URL "http://127.0.0.1:8765/files/fonts/" CACHE STRING "Font download location")
set(KLV_LOGO_URL "http://127.0.0.1:8765/files/logo.png" CACHE STRING "The maker's logo")
set(KLV_TUTORIAL_URL "http://127.0.0.1:8765/tutorials/" CACHE STRING "Tutorial playlist page")
set(KLV_VIDEO_PLAYER_URL "http://127.0.0.1:8765/files/player/" CACHE STRING "Product video player page")
set(KLV_GROUP_ID "group.com.vantory.klvapp" CACHE STRING "Application group identifier")
set(KLV_BUNDLE_ID "com.vantory.klvapp" CACHE STRING "Bundle identifier")

if(KLV_RELEASE)
  set(KLV_RELEASE_CXX true)
else()
  set(KLV_RELEASE_CXX false)
endif()
set(KLV_SHORT_VERSION "${PROJECT_VERSION}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildConfig.h.in ${CMAKE_BINARY_DIR}/generated/BuildConfig.h @ONLY)
