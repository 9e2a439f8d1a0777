# TOLVANA_COMMIT: the commit the source tree is at, 40 hexadecimal digits, for
# the About window and its notices. It is read once, when CMake configures,
# so that the same commit gives the same program wherever and whenever it is
# built; outside a git checkout of this project it is "okänd". CMake runs
# again when the checkout moves to another commit, so the text never lags.
set(TOLVANA_COMMIT "okänd")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE _tolvana_git OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _tolvana_git_result ERROR_QUIET)
  string(REPLACE "\n" ";" _tolvana_git "${_tolvana_git}")
  list(LENGTH _tolvana_git _tolvana_git_lines)
  if(_tolvana_git_result EQUAL 0 AND _tolvana_git_lines EQUAL 2)
    list(GET _tolvana_git 0 _tolvana_top)
    list(GET _tolvana_git 1 _tolvana_head)
    # Only this project's own checkout counts, not one that holds a copy of
    # it in a folder of its own.
    file(REAL_PATH "${_tolvana_top}" _tolvana_top)
    file(REAL_PATH "${PROJECT_SOURCE_DIR}" _tolvana_source)
    if(_tolvana_top STREQUAL _tolvana_source AND _tolvana_head MATCHES "^[0-9a-f]+$")
      set(TOLVANA_COMMIT ${_tolvana_head})
      # The files that change when the checkout moves: HEAD, the branch it
      # names and the packed references.
      execute_process(COMMAND ${GIT_EXECUTABLE} symbolic-ref -q HEAD
                      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE _tolvana_ref OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      set(_tolvana_paths HEAD packed-refs)
      if(_tolvana_ref)
        list(APPEND _tolvana_paths ${_tolvana_ref})
      endif()
      foreach(_tolvana_path IN LISTS _tolvana_paths)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
                                --git-path ${_tolvana_path}
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE _tolvana_file OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
        if(_tolvana_file AND EXISTS "${_tolvana_file}")
          set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
                       CMAKE_CONFIGURE_DEPENDS "${_tolvana_file}")
        endif()
      endforeach()
    endif()
  endif()
endif()
