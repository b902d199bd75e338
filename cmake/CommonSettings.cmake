# One interface target carries the settings every target of ours shares.
add_library(klv_common INTERFACE)
target_compile_options(klv_common INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual -Wconversion -Wsign-conversion
  -Wnull-dereference -Wdouble-promotion -Wformat=2
  # GCC 12 reports overflows inside Qt's string builder that cannot happen (optimised builds only). Clang has no
  # such warning and would refuse the option.
  $<$<CXX_COMPILER_ID:GNU>:-Wno-stringop-overflow>)
if(KLV_WARNINGS_AS_ERRORS)
  target_compile_options(klv_common INTERFACE -Werror)
endif()
target_compile_definitions(klv_common INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT
  QT_USE_QSTRINGBUILDER QT_NO_KEYWORDS)
if(KLV_FUZZ)
  # Every library the fuzz targets link records coverage for libFuzzer and runs under both sanitizers; the targets
  # add libFuzzer's own main (fuzz/CMakeLists.txt).
  target_compile_options(klv_common INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(klv_common INTERFACE -fsanitize=address,undefined)
elseif(KLV_SANITIZE)
  target_compile_options(klv_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(klv_common INTERFACE -fsanitize=address,undefined)
endif()
