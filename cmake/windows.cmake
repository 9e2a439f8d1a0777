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
