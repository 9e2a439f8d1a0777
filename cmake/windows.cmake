# The Windows build made on Linux with MinGW-w64 (scripts/build-windows.sh).
# Test programs and test discovery run under Wine, in a Wine prefix of this
# build's own, through the wrapper made here.
if(CMAKE_CROSSCOMPILING)
  set(TOLVANA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

# GoogleTest built from source with this compiler: Debian ships no MinGW build
# of it. The static C runtime keeps the test programs free of DLLs.
set(TOLVANA_GTEST_SOURCE "" CACHE PATH "GoogleTest sources to build with the project")
if(TOLVANA_BUILD_TESTS AND TOLVANA_GTEST_SOURCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TOLVANA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# What Windows shows of the programs and the installer: in a file's
# Properties, in "Installed apps" and in the Start menu.
set(TOLVANA_PUBLISHER "Tolvana")
set(TOLVANA_COPYRIGHT "Copyright © 2026 Tolvana")
set(TOLVANA_SUMMARY "Gör om en kort text till ett sifferchiffer och tillbaka")

# tolvana_windows_resources(TARGET DESCRIPTION [ICON file.ico]): gives the
# program made by TARGET its version block in Swedish, its application
# manifest and, with ICON, its icon.
function(tolvana_windows_resources target description)
  cmake_parse_arguments(ARG "" "ICON" "" ${ARGN})
  set(TOLVANA_RC_NAME ${target})
  set(TOLVANA_RC_FILE ${target}.exe)
  set(TOLVANA_RC_DESCRIPTION "${description}")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/resources)
  set(TOLVANA_RC_MANIFEST ${dir}/${target}.exe.manifest)
  set(TOLVANA_RC_ICON "")
  if(ARG_ICON)
    # The name that Qt's windows take their icon from.
    set(TOLVANA_RC_ICON "IDI_ICON1 ICON \"${ARG_ICON}\"")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows.manifest.in ${TOLVANA_RC_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-resources.rc.in ${dir}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  # windres reports no dependencies: the icon is made by the build.
  set_source_files_properties(${dir}/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${TOLVANA_RC_MANIFEST};${ARG_ICON}")
endfunction()
