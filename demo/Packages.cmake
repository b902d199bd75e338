# Turns package sources into the files a catalog serves; the demo catalog and the test fixtures share it. CMake makes
# the zips itself, with a fixed time stamp, so no zip tool is needed and a rebuild changes no byte.

# klv_zip(<archive> <folder> [ENTRIES <entry>...] [DEPENDS <file>...])
# <archive> holds the named entries of <folder> (default: all of them), with paths relative to <folder>. Without
# ENTRIES the files below <folder> are the inputs; with ENTRIES, DEPENDS names them.
function(klv_zip archive folder)
  cmake_parse_arguments(PARSE_ARGV 2 ZIP "" "" "ENTRIES;DEPENDS")
  set(inputs ${ZIP_DEPENDS})
  if(NOT ZIP_ENTRIES)
    file(GLOB ZIP_ENTRIES RELATIVE ${folder} ${folder}/*)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*)
    list(APPEND inputs ${sources})
  endif()
  get_filename_component(directory ${archive} DIRECTORY)
  add_custom_command(
    OUTPUT ${archive}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${directory}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${archive}
    # Names beyond ASCII ("Élan Titles") are only read in a UTF-8 locale, whatever the build's locale is.
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
            ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip --mtime=2025-01-01 -- ${ZIP_ENTRIES}
    WORKING_DIRECTORY ${folder}
    DEPENDS ${inputs}
    VERBATIM)
endfunction()

# klv_catalog_files(<sources> <files> <outputs-variable>)
# Builds a catalog's files folder from its package sources:
#   <sources>/served/<path>                 -> <files>/<path>, as it is (single fonts, movies)
#   <sources>/zipped/<area>/<name>/         -> <files>/<area>/<name>.zip holding that folder's entries
#   <sources>/resolve/<name>/<bundle>.drfx/ -> <files>/resolve/<name>.zip holding <bundle>.drfx, itself a zip of
#                                              that folder's entries, as DaVinci Resolve bundles are
# and appends the files made to <outputs-variable>.
function(klv_catalog_files sources files outputs)
  set(made ${${outputs}})

  file(GLOB_RECURSE served RELATIVE ${sources}/served CONFIGURE_DEPENDS ${sources}/served/*)
  foreach(path IN LISTS served)
    add_custom_command(
      OUTPUT ${files}/${path}
      COMMAND ${CMAKE_COMMAND} -E copy ${sources}/served/${path} ${files}/${path}
      DEPENDS ${sources}/served/${path}
      VERBATIM)
    list(APPEND made ${files}/${path})
  endforeach()

  file(GLOB zipped RELATIVE ${sources}/zipped CONFIGURE_DEPENDS ${sources}/zipped/*/*)
  foreach(package IN LISTS zipped)
    klv_zip(${files}/${package}.zip ${sources}/zipped/${package})
    list(APPEND made ${files}/${package}.zip)
  endforeach()

  file(GLOB resolve_packages RELATIVE ${sources}/resolve CONFIGURE_DEPENDS ${sources}/resolve/*)
  foreach(package IN LISTS resolve_packages)
    set(staging ${CMAKE_CURRENT_BINARY_DIR}/resolve/${package})
    file(GLOB bundles RELATIVE ${sources}/resolve/${package} CONFIGURE_DEPENDS ${sources}/resolve/${package}/*.drfx)
    set(packed "")
    foreach(bundle IN LISTS bundles)
      klv_zip(${staging}/${bundle} ${sources}/resolve/${package}/${bundle})
      list(APPEND packed ${staging}/${bundle})
    endforeach()
    klv_zip(${files}/resolve/${package}.zip ${staging} ENTRIES ${bundles} DEPENDS ${packed})
    list(APPEND made ${files}/resolve/${package}.zip)
  endforeach()

  set(${outputs} ${made} PARENT_SCOPE)
endfunction()

# klv_plugin_archives(<files> <AppRun> <outputs-variable> <name>...)
# Makes <files>/plugins/<name>.zip for every name, holding the application folder <name>.app: on Linux an AppDir
# whose AppRun is the given script. Appends the files made to <outputs-variable>.
function(klv_plugin_archives files apprun outputs)
  set(made ${${outputs}})
  foreach(name IN LISTS ARGN)
    set(staging ${CMAKE_CURRENT_BINARY_DIR}/plugins/${name})
    # Staged with its permissions set here, so AppRun is executable in the archive whatever git kept of its mode.
    configure_file(${apprun} "${staging}/${name}.app/AppRun" COPYONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                    WORLD_EXECUTE)
    klv_zip("${files}/plugins/${name}.zip" ${staging} ENTRIES "${name}.app" DEPENDS "${staging}/${name}.app/AppRun")
    list(APPEND made "${files}/plugins/${name}.zip")
  endforeach()
  set(${outputs} ${made} PARENT_SCOPE)
endfunction()
