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

# --- Hardening -------------------------------------------------------------
# Debian's hardening flags, as `dpkg-buildflags` gives them with
# DEB_BUILD_MAINT_OPTIONS=hardening=+all, for every target of both trees:
# padprobe parses what a serial line sends and nanpeer what a radio peer
# sends, both as root. Stack protector (strong), stack clash probes, the C
# library's checked string and memory functions (_FORTIFY_SOURCE), read-only
# relocations resolved at start-up (RELRO, BIND_NOW), position-independent
# executables (PIE, whatever BOARD_HARDENING says).
option(BOARD_HARDENING "Build with the distribution's hardening flags" ON)
# Position-independent executables whatever the compiler's default (-fPIE,
# -pie); static and shared libraries are built with -fPIC.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
if(BOARD_HARDENING)
  add_compile_options(-fstack-protector-strong -fstack-clash-protection
    -Wformat -Werror=format-security)
  # _FORTIFY_SOURCE needs the optimiser, and the sanitizers check the same
  # calls better themselves (ASan intercepts them): left out of both.
  if(NOT BOARD_SANITIZER)
    add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  endif()
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()

# --- Reproducible builds ----------------------------------------------------
# Two builds of one commit must give the same bytes, wherever the tree and
# the build folder are: their paths become "." in debug information and in
# __FILE__ (the build ID of a stripped binary still covers its debug
# information), and __DATE__ or __TIME__ would be an error.
add_compile_options(
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
  -ffile-prefix-map=${PROJECT_BINARY_DIR}=.
  -Wdate-time)

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

# board_drop_comment(<target> <destination> <component>): a stripped install
# (cmake --install --strip, and so CPack) of the target also loses the
# .comment section, the compilers' and start files' identification, which
# strip keeps. Call it after the target's install().
function(board_drop_comment target destination component)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()"
    COMPONENT ${component})
endfunction()

# board_tool(<target>): a tool executable (one per tool folder).
function(board_tool target)
  board_tool_code(${target})
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--as-needed)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  board_drop_comment(${target} ${CMAKE_INSTALL_BINDIR} tools)
endfunction()
