# Build-time configuration; the configuration files (/etc/klv-app, then the user's) and an environment variable of the
# same name override each value. An address left empty is derived from the store address.
set(KLV_STORE_URL "http://127.0.0.1:8765" CACHE STRING "Store web service: scheme and host, no path")
set(KLV_STORE_KEY "6b6c7661707073746f72656b65792d646576656c6f706d656e742d6f6e6c7921" CACHE STRING
  "Store request key, 64 hex digits")
set(KLV_MARKETING_KEY "6b6c76617070206d61726b6574696e67206b6579202d20646576206f6e6c7921" CACHE STRING
  "Marketing request key, 64 hex digits")
set(KLV_DOWNLOAD_BUCKET_URL "" CACHE STRING "Download bucket of the application and updater (empty: STORE/files/bucket/)")
set(KLV_PLUGIN_SITE_URL "" CACHE STRING "Plug-in download site (empty: STORE/files/plugins/)")
set(KLV_FONT_STORE_URL "" CACHE STRING "Font download location (empty: STORE/files/fonts/)")
set(KLV_LOGO_URL "" CACHE STRING "The maker's logo (empty: STORE/files/logo.png)")
set(KLV_TUTORIAL_URL "" CACHE STRING "Tutorial playlist page (empty: STORE/tutorials/)")
set(KLV_VIDEO_PLAYER_URL "" CACHE STRING "Product video player page, the video id appended (empty: STORE/player/#)")
set(KLV_GROUP_ID "group.com.vantory.klvapp" CACHE STRING "Application group identifier")
set(KLV_BUNDLE_ID "com.vantory.klvapp" CACHE STRING "Bundle identifier")

if(KLV_RELEASE)
  set(KLV_RELEASE_CXX true)
else()
  set(KLV_RELEASE_CXX false)
endif()
if(KLV_SELF_UPDATE)
  set(KLV_SELF_UPDATE_CXX true)
else()
  set(KLV_SELF_UPDATE_CXX false)
endif()
set(KLV_SHORT_VERSION "${PROJECT_VERSION}")
# The manual pages and the package's changelog carry the date of the sources: SOURCE_DATE_EPOCH when a packager sets
# it, else the last commit's, so that building the same sources again gives the same files.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(commit_time)
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
string(TIMESTAMP KLV_MANUAL_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KLV_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildConfig.h.in ${CMAKE_BINARY_DIR}/generated/BuildConfig.h @ONLY)
