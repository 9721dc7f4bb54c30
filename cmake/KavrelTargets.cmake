# Small helpers so that every folder declares its targets in a few lines.

# kavrel_add_subdirectories(a b c): adds the listed folders. A folder that is missing is an
# error: a checkout without part of the sources must not build a smaller product silently.
function(kavrel_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt is missing")
    endif()
    add_subdirectory(${dir})
  endforeach()
endfunction()

# kavrel_core_warnings(target...): the stricter warnings of the Qt-free core and its
# programs. The core moves bytes between the module, files and numbers: a silent narrowing
# or a name that hides another there turns into a wrong value on the wire or on disk.
function(kavrel_core_warnings)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE -Wshadow -Wconversion)
    # GCC leaves sign changes out of -Wconversion in C++; clang (the fuzz build) would add
    # them, and the same source should warn alike under both.
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      target_compile_options(${target} PRIVATE -Wno-sign-conversion)
    endif()
  endforeach()
endfunction()

# kavrel_core_library(name SOURCES ... DEPENDS ...): a Qt-free static library whose
# headers are included as "folder/file.h" from src/.
function(kavrel_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  kavrel_core_warnings(${name})
endfunction()

# The libraries of Qt code, all of them: a build without Qt lacks exactly these (and Qt's own),
# and a test that needs one is left out of such a build. kavrel_qt_library keeps the list true.
set(KAVREL_QT_LIBRARIES
  kavrel_common_qt kavrel_common_widgets kavrel_field_edits kavrel_chart_painter kavrel_chart_widget
  kavrel_serial_ports kavrel_port_picker kavrel_trace_choice_row
  kavrel_config_ui kavrel_monitor_ui kavrel_logger_ui kavrel_logger_ui_print kavrel_logger_print_pages)

# kavrel_qt_library(name source...): a static library of Qt code. Its QObject classes go
# through moc; the Qt-free core and the programs whose main holds no QObject do not.
function(kavrel_qt_library name)
  if(NOT name IN_LIST KAVREL_QT_LIBRARIES)
    message(FATAL_ERROR "${name} is a Qt library missing from KAVREL_QT_LIBRARIES in ${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
  endif()
  add_library(${name} STATIC ${ARGN})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# kavrel_test_dependencies_built(test dependency...): whether a test's libraries are all part of
# this build. Only the known gaps leave a test out, and each one is said: the simulator and the
# fleet (POSIX pseudo-terminals and sockets) in the Windows build, and the Qt libraries in a
# build without Qt. Any other missing name is a misspelt or forgotten dependency, and stops the
# configuration instead of silently dropping the test from CTest.
set(KAVREL_WINDOWS_GAPS kavrel_sim kavrel_fleet)
function(kavrel_test_dependencies_built result test)
  foreach(dependency IN LISTS ARGN)
    if(TARGET ${dependency})
      continue()
    endif()
    if(WIN32 AND dependency IN_LIST KAVREL_WINDOWS_GAPS)
      message(STATUS "Test ${test} left out: ${dependency} is not built for Windows")
    elseif(NOT KAVREL_QT AND (dependency IN_LIST KAVREL_QT_LIBRARIES OR dependency MATCHES "^Qt6::"))
      message(STATUS "Test ${test} left out: ${dependency} is not built without Qt")
    else()
      message(FATAL_ERROR "Test ${test} depends on ${dependency}, which is no target of this build")
    endif()
    set(${result} FALSE PARENT_SCOPE)
    return()
  endforeach()
  set(${result} TRUE PARENT_SCOPE)
endfunction()

# kavrel_test_code(target): test programs are compiled for a quick build rather than for speed.
# Their own code is thin (the code under test is in the libraries, built as the product is), and
# at -O2 with full debug information a GoogleTest file compiles two to three times slower; line
# tables still give file and line in a failure's stack.
function(kavrel_test_code target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -O1 -g1)
  endif()
endfunction()

# kavrel_gtest(name SOURCES ... DEPENDS ... [LABELS ...]): a GoogleTest executable whose cases CTest
# lists one by one. A test whose libraries are a known gap of this build is left out, and said.
function(kavrel_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LABELS" ${ARGN})
  kavrel_test_dependencies_built(built ${name} ${ARG_DEPENDS})
  if(NOT built)
    return()
  endif()
  if(NOT TARGET GTest::gtest)
    find_package(GTest REQUIRED)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  kavrel_test_code(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # One CTest test per program: listing the cases would start Wine once per case.
    add_test(NAME ${name} COMMAND ${name})
  else()
    include(GoogleTest)
    # Backups, write journals and version notes of the tests stay in the build tree, never
    # in the user's own folder (a test may set another folder of its own).
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30
      PROPERTIES ENVIRONMENT "KAVREL_BACKUP_DIR=${CMAKE_BINARY_DIR}/test-kopie" LABELS "${ARG_LABELS}")
  endif()
endfunction()

# kavrel_qtest(name SOURCES ... DEPENDS ...): a QtTest executable for windows and dialogs,
# run by CTest on the offscreen platform. Left out as kavrel_gtest's are.
function(kavrel_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  kavrel_test_dependencies_built(built ${name} ${ARG_DEPENDS})
  if(NOT built)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  kavrel_test_code(${name})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} Qt6::Test)
  if(CMAKE_CROSSCOMPILING)
    # Wine does not pass QT_* variables on to Windows programs; the switch reaches Qt all the same.
    add_test(NAME ${name} COMMAND ${name} -platform offscreen)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KAVREL_BACKUP_DIR=${CMAKE_BINARY_DIR}/test-kopie")
  endif()
endfunction()
