# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Compiler flags shared by every target: warnings as errors everywhere, and the
# embedded subset of C++ (no exceptions, no RTTI) for the four tools.

set(BOARD_SANITIZER "" CACHE STRING
    "Sanitizers for every target: empty, 'address,undefined' or 'thread'")

set(BOARD_WARNINGS
  -Wall -Wextra -Wpedantic -Werror
  -Wformat=2 -Wimplicit-fallthrough -Wshadow -Wcast-align
  -Wnull-dereference -Wdouble-promotion -Wundef)

if(BOARD_SANITIZER)
  # The test presets send every report here (log_path), also those of tools
  # that tests start in the background; ./run-tests fails on any file in it.
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/sanitizer-reports)
  add_compile_options(-fsanitize=${BOARD_SANITIZER} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${BOARD_SANITIZER})
  if(BOARD_SANITIZER MATCHES "undefined")
    # The tools are built without RTTI, which the vptr check needs; every
    # other UBSan report aborts the process so a test cannot miss it.
    add_compile_options(-fno-sanitize=vptr -fno-sanitize-recover=all)
    add_link_options(-fno-sanitize=vptr)
  endif()
endif()

# board_warnings(<target>): warnings as errors for any target of this project.
function(board_warnings target)
  target_compile_options(${target} PRIVATE ${BOARD_WARNINGS})
endfunction()

# board_tool_code(<target>): code that runs on the board. It is built without
# exceptions and RTTI, with the stricter conversion warnings, and its
# functions and data in their own sections so the linker can drop what a
# tool does not use.
function(board_tool_code target)
  board_warnings(${target})
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>
    -Wconversion -Wsign-conversion
    -ffunction-sections -fdata-sections)
endfunction()

# board_tool(<target>): a tool executable (one per tool folder).
function(board_tool target)
  board_tool_code(${target})
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--as-needed)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endfunction()
