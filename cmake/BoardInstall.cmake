# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# What `cmake --install` puts where. Two components:
#   tools  what goes onto the board: the four executables (board_tool()
#          installs them), their manual pages and the integrators' examples.
#   sim    the simulated board and the host client, for development machines.
# Nothing else is installed: not the link-only libsdcore.so that nanpeer is
# linked against, not the test doubles, not the benchmarks.

set(BOARD_TOOLS_PACKAGE board-tools)
set(BOARD_SIM_PACKAGE board-tools-sim)

# --- tools: manual pages --------------------------------------------------

# Debian keeps manual pages compressed; gzip -n leaves out the time stamp
# so the same page gives the same package bytes on every build.
find_program(BOARD_GZIP gzip REQUIRED)
# A page is installed with its tool: a tree without the tool has no page.
set(board_compressed_pages "")
foreach(tool nanpeer padprobe otpctl mcushell)
  if(NOT TARGET ${tool})
    continue()
  endif()
  set(page ${tool}.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${BOARD_GZIP} -9 -n -c ${source} > ${compressed}
    DEPENDS ${source}
    COMMENT "Compressing manual page ${page}"
    VERBATIM)
  list(APPEND board_compressed_pages ${compressed})
endforeach()
add_custom_target(board_man_pages ALL DEPENDS ${board_compressed_pages})
install(FILES ${board_compressed_pages}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT tools)

# --- tools: examples for integrators --------------------------------------

# Debian's documentation folder is named after the package, whatever the
# project is called.
set(BOARD_EXAMPLES_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${BOARD_TOOLS_PACKAGE}/examples)
install(FILES
    ${PROJECT_SOURCE_DIR}/docs/examples/nanpeer-publish.json
    ${PROJECT_SOURCE_DIR}/docs/examples/nanpeer-subscribe.json
    ${PROJECT_SOURCE_DIR}/docs/examples/README
  DESTINATION ${BOARD_EXAMPLES_DIR}
  COMPONENT tools)
install(FILES
    ${PROJECT_SOURCE_DIR}/docs/examples/systemd/nanpeer.service
    ${PROJECT_SOURCE_DIR}/docs/examples/systemd/padprobe@.service
  DESTINATION ${BOARD_EXAMPLES_DIR}/systemd
  COMPONENT tools)

# --- sim: the simulated board and the host client -------------------------

# The board and the host client find their parts relative to their own
# location: the parts under sim/, the native daemons under build/sim/, the
# simulated libsdcore under build/lib/sdcore-sim/. The private folder keeps
# that layout, so the same code runs from a checkout and from the package.
if(BOARD_BUILD_SIM)
  set(BOARD_SIM_ROOT lib/${BOARD_SIM_PACKAGE})

  install(PROGRAMS ${PROJECT_SOURCE_DIR}/sim/board
    DESTINATION ${BOARD_SIM_ROOT}/sim
    COMPONENT sim)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/board_parts
    DESTINATION ${BOARD_SIM_ROOT}/sim
    COMPONENT sim
    FILES_MATCHING PATTERN "*.py"
    PATTERN "__pycache__" EXCLUDE)
  # Stand-ins for board commands (the iw listing) that a part puts on PATH.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/sim/nan/bin
    DESTINATION ${BOARD_SIM_ROOT}/sim/nan
    COMPONENT sim
    USE_SOURCE_PERMISSIONS)

  # The parts' native daemons, and the simulated libsdcore in a folder of
  # its own that only the board puts on the loader path.
  install(TARGETS board-console touchsim
    RUNTIME DESTINATION ${BOARD_SIM_ROOT}/build/sim
    COMPONENT sim)
  install(TARGETS sdcore_sim
    LIBRARY DESTINATION ${BOARD_SIM_ROOT}/build/lib/sdcore-sim
    COMPONENT sim)

  # The host client of padprobe's serial protocol.
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/padhost
    DESTINATION ${BOARD_SIM_ROOT}/tools
    COMPONENT sim)
  # With the live tuning page's files (padhost ui), which the server reads
  # from beside its own code; the charting library comes from Debian's
  # libjs-dygraphs.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/tools/padlink
    DESTINATION ${BOARD_SIM_ROOT}/tools
    COMPONENT sim
    FILES_MATCHING PATTERN "*.py" PATTERN "*.html" PATTERN "*.js" PATTERN "*.css"
    PATTERN "__pycache__" EXCLUDE)

  # Commands on PATH: relative links into the private folder, so the package
  # can be unpacked under any root.
  set(board_links_dir ${PROJECT_BINARY_DIR}/install-links)
  file(MAKE_DIRECTORY ${board_links_dir})
  file(CREATE_LINK ../${BOARD_SIM_ROOT}/sim/board ${board_links_dir}/board-sim SYMBOLIC)
  file(CREATE_LINK ../${BOARD_SIM_ROOT}/tools/padhost ${board_links_dir}/padhost SYMBOLIC)
  install(FILES ${board_links_dir}/board-sim ${board_links_dir}/padhost
    DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT sim)
endif()
