# TORASCAN_BUILD_VERSION: the release (the last "vX.Y..." tag, else the project's version) and,
# for a commit past it, "+git<commits>.<commit>", so that every later build sorts higher for
# dpkg. Read when CMake configures (scripts/package.sh configures before it packages).
find_package(Git QUIET)
set(TORASCAN_BUILD_VERSION "${PROJECT_VERSION}")
if(GIT_EXECUTABLE)
  execute_process(COMMAND "${GIT_EXECUTABLE}" describe --tags --match "v[0-9]*" --long
    WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE _describe RESULT_VARIABLE _tagged
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(_tagged EQUAL 0 AND _describe MATCHES "^v([0-9][^-]*)-([0-9]+)-g([0-9a-f]+)$")
    set(TORASCAN_BUILD_VERSION "${CMAKE_MATCH_1}")
    if(NOT CMAKE_MATCH_2 EQUAL 0)
      string(APPEND TORASCAN_BUILD_VERSION "+git${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
    endif()
  else()
    execute_process(COMMAND "${GIT_EXECUTABLE}" rev-list --count HEAD
      WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE _count RESULT_VARIABLE _counted
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --short=7 HEAD
      WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE _commit
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_counted EQUAL 0 AND _commit)
      string(APPEND TORASCAN_BUILD_VERSION "+git${_count}.${_commit}")
    endif()
  endif()
endif()
message(STATUS "toraScan version ${TORASCAN_BUILD_VERSION}")
