# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE): the time that
# every member of the packages gets, so that two builds of one commit give
# the same bytes. SOURCE_DATE_EPOCH from the environment wins; else the time
# of the tree's last commit; outside a git checkout (an unpacked source
# archive) the date of the changelog's latest entry.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
set(board_time "")
find_program(BOARD_GIT git)
if(BOARD_GIT)
  execute_process(
    COMMAND ${BOARD_GIT} -C ${CPACK_BOARD_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE board_time OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
endif()
if(NOT board_time MATCHES "^[0-9]+$")
  find_program(BOARD_PARSECHANGELOG dpkg-parsechangelog)
  if(BOARD_PARSECHANGELOG)
    execute_process(
      COMMAND ${BOARD_PARSECHANGELOG} -l ${CPACK_BOARD_SOURCE_DIR}/packaging/changelog
        -S Timestamp
      OUTPUT_VARIABLE board_time OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET)
  endif()
endif()
if(board_time MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} ${board_time})
else()
  message(WARNING "no commit time and no changelog date: the packages get the time of packing")
endif()
