# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# Helpers that register tests with CTest under the labels 'unit' and 'system'.

# board_unit_test(<name> SOURCES ... LIBS ...): a GoogleTest executable whose
# cases CTest discovers one by one (under qemu on a cross build).
function(board_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  board_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    PROPERTIES LABELS unit
    DISCOVERY_TIMEOUT 60)
endfunction()

# board_system_test(<file.py> [TIMEOUT s] [RUN_SERIAL]): one pytest file run
# against the real binaries in the simulated board. System tests need the
# simulator, so they exist on host builds only.
set(BOARD_PYTHON /usr/bin/python3 CACHE FILEPATH
    "Debian's interpreter, which has pytest and pyserial")
function(board_system_test file)
  if(NOT BOARD_BUILD_SIM)
    return()
  endif()
  cmake_parse_arguments(T "RUN_SERIAL" "TIMEOUT" "" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  get_filename_component(stem ${file} NAME_WE)
  add_test(NAME system.${stem}
    COMMAND ${BOARD_PYTHON} -m pytest -q -p no:cacheprovider
            ${CMAKE_CURRENT_SOURCE_DIR}/${file}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(system.${stem} PROPERTIES
    LABELS system
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "BOARD_BUILD_DIR=${PROJECT_BINARY_DIR};BOARD_SANITIZER=${BOARD_SANITIZER}")
  if(T_RUN_SERIAL)
    set_tests_properties(system.${stem} PROPERTIES RUN_SERIAL ON)
  endif()
endfunction()
