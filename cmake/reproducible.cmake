# The same commit builds into the same bytes, wherever and whenever it is
# built (scripts/check-reproducible.sh builds twice and compares):
#
# - paths: the compilers write the source folder as "." and the build folder
#   as "build" wherever a path ends up in a program (__FILE__, assertions,
#   debug information). The build folder comes last, so that it wins where it
#   lies inside the source folder.
# - times: the scripts set SOURCE_DATE_EPOCH to the commit's time, which
#   GCC, rcc, CPack and dpkg take instead of the clock; the PE linker writes
#   no time into a Windows program, and Qt's resource compiler writes the
#   format without file times (TOLVANA_RCC_OPTIONS, for qt_add_resources).
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
                    "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
if(WIN32)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
set(TOLVANA_RCC_OPTIONS --format-version 1)
set(CMAKE_AUTORCC_OPTIONS ${TOLVANA_RCC_OPTIONS})
