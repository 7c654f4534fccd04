# Read by cpack before it makes a package (CPACK_PROJECT_CONFIG_FILE, set in
# packaging.cmake): the time that cpack gives every file, directory and
# archive member of the package is SOURCE_DATE_EPOCH, as reproducible
# builds define it. So two builds of the same sources give the same package
# bytes, wherever and whenever they are made.
#
# A SOURCE_DATE_EPOCH in the environment is kept. Otherwise it is the time
# of the last commit of the source tree, as `git log -1 --format=%ct` gives
# it; outside a git checkout, the date of the changelog's latest entry, as
# Debian's package builds take it. When neither can be read, cpack uses the
# current time.
# Sets var to what the command prints, or to nothing when it fails.
function(quillon_output_of var)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output RESULT_VARIABLE status
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(output)
  endif()
  set(${var} "${output}" PARENT_SCOPE)
endfunction()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(quillon_epoch)
  find_program(QUILLON_GIT git)
  if(QUILLON_GIT)
    quillon_output_of(quillon_epoch ${QUILLON_GIT} -C ${CPACK_QUILLON_SOURCE_DIR} log -1 --format=%ct)
  endif()
  if(NOT quillon_epoch MATCHES "^[0-9]+$" AND EXISTS "${CPACK_QUILLON_CHANGELOG}")
    # The first trailer line: " -- Name <address>  Mon, 07 Dec 2026 12:00:00 +0000".
    file(STRINGS ${CPACK_QUILLON_CHANGELOG} quillon_trailer REGEX "^ -- .*>  " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" quillon_date "${quillon_trailer}")
    if(quillon_date)
      quillon_output_of(quillon_epoch date -d "${quillon_date}" +%s)
    endif()
  endif()
  if(quillon_epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${quillon_epoch})
  endif()
endif()
