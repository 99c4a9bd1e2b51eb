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

# Debian keeps manual pages and changelogs compressed; gzip -n leaves out
# the name and time stamp so the same text gives the same package bytes on
# every build.
find_program(BOARD_GZIP gzip REQUIRED)
set(board_compressed_files "")
# board_gzip(<source> <output>): <output> is <source> compressed at build time.
function(board_gzip source output)
  get_filename_component(folder ${output} DIRECTORY)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${BOARD_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  set(board_compressed_files ${board_compressed_files} ${output} PARENT_SCOPE)
endfunction()

# --- both: copyright, changelog, lintian overrides --------------------------

# Each package's documentation folder holds the machine-readable copyright
# file and the changelog; both packages come from this one tree, so they
# share both. A native package's changelog is changelog.gz.
set(BOARD_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
file(STRINGS ${BOARD_PACKAGING_DIR}/changelog board_changelog_top LIMIT_COUNT 1)
if(NOT board_changelog_top MATCHES "^${BOARD_TOOLS_PACKAGE} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${board_changelog_top}', "
    "not an entry for ${BOARD_TOOLS_PACKAGE} ${PROJECT_VERSION}: add one")
endif()
board_gzip(${BOARD_PACKAGING_DIR}/changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)

# board_package_files(<package> <component>): what every package carries.
function(board_package_files package component)
  install(FILES ${BOARD_PACKAGING_DIR}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component})
  # Each one with its reason, in the file.
  install(FILES ${BOARD_PACKAGING_DIR}/lintian/${package}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
    COMPONENT ${component})
endfunction()
board_package_files(${BOARD_TOOLS_PACKAGE} tools)

# --- manual pages ------------------------------------------------------------

# A page is installed with its program: a tree without the tool has no page.
# board-sim and padhost are the commands of the sim component.
set(board_tool_pages "")
foreach(tool nanpeer padprobe otpctl mcushell)
  if(TARGET ${tool})
    board_gzip(${PROJECT_SOURCE_DIR}/docs/man/${tool}.1 ${PROJECT_BINARY_DIR}/man/${tool}.1.gz)
    list(APPEND board_tool_pages ${PROJECT_BINARY_DIR}/man/${tool}.1.gz)
  endif()
endforeach()
install(FILES ${board_tool_pages}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT tools)
if(BOARD_BUILD_SIM)
  set(board_sim_pages "")
  foreach(command board-sim padhost)
    board_gzip(${PROJECT_SOURCE_DIR}/docs/man/${command}.1 ${PROJECT_BINARY_DIR}/man/${command}.1.gz)
    list(APPEND board_sim_pages ${PROJECT_BINARY_DIR}/man/${command}.1.gz)
  endforeach()
  install(FILES ${board_sim_pages}
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT sim)
endif()

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
  board_drop_comment(board-console ${BOARD_SIM_ROOT}/build/sim sim)
  board_drop_comment(touchsim ${BOARD_SIM_ROOT}/build/sim sim)
  board_drop_comment(sdcore_sim ${BOARD_SIM_ROOT}/build/lib/sdcore-sim sim)

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

  board_package_files(${BOARD_SIM_PACKAGE} sim)
endif()

add_custom_target(board_compressed_files ALL DEPENDS ${board_compressed_files})
