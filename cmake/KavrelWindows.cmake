# The Windows build's programs as a Windows user gets them: every .exe with its icon, version
# information and manifest; the Qt programs with the runtime they load (Qt's DLLs and plugins,
# MinGW's runtime DLLs, Qt's Polish texts, a qt.conf) beside them in the build's bin/ folder,
# where the tests run them, and under the prefix of `cmake --install`, which the zip and the
# installer are made from (scripts/build-windows). Included at the end of the top
# CMakeLists.txt on Windows, when every target is known.

set(KAVREL_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

# kavrel_windows_program(target icon "description" [GUI]): the target's resources; GUI makes
# it a window program (no console window of its own).
function(kavrel_windows_program target icon description)
  cmake_parse_arguments(ARG "GUI" "" "" ${ARGN})
  if(NOT TARGET ${target})
    return()
  endif()
  set(KAVREL_RC_TARGET ${target})
  set(KAVREL_RC_DESCRIPTION ${description})
  set(KAVREL_RC_ICON ${KAVREL_RESOURCES}/icons/${icon}.ico)
  set(folder ${PROJECT_BINARY_DIR}/windows-resources)
  set(KAVREL_RC_MANIFEST ${folder}/${target}.manifest)
  configure_file(${KAVREL_RESOURCES}/windows/program.manifest.in ${KAVREL_RC_MANIFEST} @ONLY)
  configure_file(${KAVREL_RESOURCES}/windows/program.rc.in ${folder}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${folder}/${target}.rc)
  if(ARG_GUI)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION .)
endfunction()

kavrel_windows_program(Kavrel-Config kavrel-config "Kavrel-Config – konfigurator modułu Kavrel" GUI)
kavrel_windows_program(Kavrel-Monitor kavrel-monitor "Kavrel-Monitor – podgląd pomiarów modułu Kavrel" GUI)
kavrel_windows_program(Kavrel-Logger kavrel-logger "Kavrel-Logger – odczyt pamięci modułu Kavrel" GUI)
kavrel_windows_program(kavrel kavrel-config "kavrel – narzędzie wiersza poleceń modułu Kavrel")

if(NOT KAVREL_QT)
  return()
endif()

# What the Qt programs load at run time, as files to copy: "source|destination" pairs, the
# destination relative to the program's folder.
get_target_property(kavrel_qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT kavrel_qt_core_dll)
  get_target_property(kavrel_qt_core_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(kavrel_qt_bin ${kavrel_qt_core_dll} DIRECTORY)
get_filename_component(kavrel_qt_prefix ${kavrel_qt_bin} DIRECTORY)

set(kavrel_runtime_files)
foreach(module IN ITEMS Core Gui Widgets PrintSupport)
  list(APPEND kavrel_runtime_files "${kavrel_qt_bin}/Qt6${module}.dll|.")
endforeach()
foreach(plugin IN ITEMS platforms/qwindows styles/qwindowsvistastyle imageformats/qico imageformats/qjpeg
                        imageformats/qgif)
  get_filename_component(plugin_folder ${plugin} DIRECTORY)
  list(APPEND kavrel_runtime_files "${kavrel_qt_prefix}/plugins/${plugin}.dll|plugins/${plugin_folder}")
endforeach()
# Qt's DLLs need MinGW's C++ runtime (the programs themselves link it statically).
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${dll_path}" OR NOT EXISTS "${dll_path}")
    message(FATAL_ERROR "MinGW's ${dll}, which Qt's DLLs load, is missing")
  endif()
  get_filename_component(dll_path ${dll_path} REALPATH)
  list(APPEND kavrel_runtime_files "${dll_path}|.")
endforeach()
# The standard dialogs in Polish: Debian's translations are the same on every platform.
set(KAVREL_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH "Folder with Qt's qtbase_pl.qm")
if(NOT EXISTS ${KAVREL_QT_TRANSLATIONS}/qtbase_pl.qm)
  message(FATAL_ERROR "${KAVREL_QT_TRANSLATIONS}/qtbase_pl.qm is missing (Debian's qt6-translations-l10n)")
endif()
list(APPEND kavrel_runtime_files "${KAVREL_QT_TRANSLATIONS}/qtbase_pl.qm|translations"
                                 "${KAVREL_RESOURCES}/windows/qt.conf|.")

# The tests run from bin/ as well: the test library and the platform without a display.
# The offscreen platform on Windows draws with the fonts of Qt's lib/fonts, which Qt does not ship.
set(kavrel_test_runtime_files "${kavrel_qt_bin}/Qt6Test.dll|." "${kavrel_qt_prefix}/plugins/platforms/qoffscreen.dll|plugins/platforms")
foreach(font IN ITEMS LiberationSans-Regular LiberationSans-Bold)
  if(EXISTS /usr/share/fonts/truetype/liberation2/${font}.ttf)
    list(APPEND kavrel_test_runtime_files "/usr/share/fonts/truetype/liberation2/${font}.ttf|lib/fonts")
  endif()
endforeach()

set(kavrel_copied)
foreach(pair IN LISTS kavrel_runtime_files kavrel_test_runtime_files)
  string(REPLACE "|" ";" pair ${pair})
  list(GET pair 0 source)
  list(GET pair 1 destination)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${destination}/${name})
  add_custom_command(OUTPUT ${copy} COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy} DEPENDS ${source} VERBATIM)
  list(APPEND kavrel_copied ${copy})
endforeach()
add_custom_target(kavrel-windows-runtime ALL DEPENDS ${kavrel_copied}
  COMMENT "The Qt runtime beside the Windows programs")

foreach(pair IN LISTS kavrel_runtime_files)
  string(REPLACE "|" ";" pair ${pair})
  list(GET pair 0 source)
  list(GET pair 1 destination)
  install(FILES ${source} DESTINATION ${destination})
endforeach()
# The README with Windows line ends.
file(READ ${KAVREL_RESOURCES}/windows/README.txt readme)
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE ${PROJECT_BINARY_DIR}/windows-resources/README.txt "${readme}")
install(FILES ${PROJECT_BINARY_DIR}/windows-resources/README.txt DESTINATION .)
