# The version of a build: the project version and where the source stands in git, the one text
# that --version prints, "/info" publishes, the window shows and the package carries.
#   a tag on the project version ("v0.3.0" or "0.3.0") in the history: "0.3.0-12-gf3f2826"
#   (commits since the tag and the commit), or "0.3.0" on the tagged commit itself;
#   no such tag: the project version, the commits in the history and the commit,
#   "0.3.0-412-gf3f2826";
#   either, built from a tree with uncommitted changes: "-dirty" appended;
#   no git, or a source tree that is not a checkout: the project version alone.
# A new commit or a switched branch configures the build again, so the text never lags behind.
function(vovadudoz_build_version out)
  set(_version "${PROJECT_VERSION}")
  find_package(Git QUIET)
  if(NOT GIT_FOUND)
    set(${out} "${_version}" PARENT_SCOPE)
    return()
  endif()

  macro(_git var)
    execute_process(COMMAND ${GIT_EXECUTABLE} ${ARGN} WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE ${var} OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE _git_result ERROR_QUIET)
    if(NOT _git_result EQUAL 0)
      set(${var} "")
    endif()
  endmacro()

  # Only a checkout whose top is this source tree counts: a tarball unpacked inside some other
  # repository must not take that repository's history.
  _git(_top rev-parse --show-toplevel)
  get_filename_component(_source "${CMAKE_SOURCE_DIR}" REALPATH)
  if(_top)
    get_filename_component(_top "${_top}" REALPATH)
  endif()
  if(NOT _top STREQUAL _source)
    set(${out} "${_version}" PARENT_SCOPE)
    return()
  endif()

  _git(_described describe --tags --dirty --abbrev=7 --match "v${PROJECT_VERSION}" --match "${PROJECT_VERSION}")
  if(_described)
    string(REGEX REPLACE "^v" "" _version "${_described}")
  else()
    _git(_commit describe --always --dirty --abbrev=7)
    _git(_count rev-list --count HEAD)
    if(_commit AND _count)
      set(_version "${PROJECT_VERSION}-${_count}-g${_commit}")
    endif()
  endif()

  # Configure again when HEAD moves: HEAD itself (a switched branch, a detached checkout), the
  # branch it names (a commit), and the packed references (a branch git has packed).
  _git(_head_file rev-parse --git-path HEAD)
  _git(_branch symbolic-ref -q HEAD)
  set(_watch ${_head_file})
  if(_branch)
    _git(_branch_file rev-parse --git-path ${_branch})
    list(APPEND _watch ${_branch_file})
  endif()
  _git(_packed_file rev-parse --git-path packed-refs)
  list(APPEND _watch ${_packed_file})
  foreach(_file ${_watch})
    if(NOT IS_ABSOLUTE "${_file}")
      set(_file "${CMAKE_SOURCE_DIR}/${_file}")
    endif()
    if(EXISTS "${_file}")
      set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_file}")
    endif()
  endforeach()
  set(${out} "${_version}" PARENT_SCOPE)
endfunction()
