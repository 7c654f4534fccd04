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
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(quillon_epoch)
  find_program(QUILLON_GIT git)
  if(QUILLON_GIT)
    execute_process(
      COMMAND ${QUILLON_GIT} -C ${CPACK_QUILLON_SOURCE_DIR} log -1 --format=%ct
      OUTPUT_VARIABLE quillon_epoch
      RESULT_VARIABLE quillon_status
      OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET)
    if(NOT quillon_status EQUAL 0)
      set(quillon_epoch)
    endif()
  endif()
  if(NOT quillon_epoch MATCHES "^[0-9]+$" AND EXISTS "${CPACK_QUILLON_CHANGELOG}")
    # The first trailer line: " -- Name <address>  Mon, 07 Dec 2026 12:00:00 +0000".
    file(STRINGS ${CPACK_QUILLON_CHANGELOG} quillon_trailer REGEX "^ -- .*>  " LIMIT_COUNT 1)
    string(REGEX REPLACE "^ -- .*>  " "" quillon_date "${quillon_trailer}")
    if(quillon_date)
      execute_process(
        COMMAND date -d "${quillon_date}" +%s
        OUTPUT_VARIABLE quillon_epoch
        RESULT_VARIABLE quillon_status
        OUTPUT_STRIP_TRAILING_WHITESPACE
        ERROR_QUIET)
      if(NOT quillon_status EQUAL 0)
        set(quillon_epoch)
      endif()
    endif()
  endif()
  if(quillon_epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${quillon_epoch})
  endif()
endif()
