# What `cmake --install` puts under the prefix and what the kavrel-tools Debian package
# holds: the programs, the command-line tool and the simulator, their manual pages, the
# desktop entries and icons. Included at the end of the top CMakeLists.txt, when every
# target is known; a program whose target is not part of this build is left out.

include(GNUInstallDirs)

set(KAVREL_ICON_SIZES 16 24 32 48 64 128 256)
set(KAVREL_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

# kavrel_install_program(target [DESKTOP name] [MANUAL "summary"] [MANUAL_PL "opis"]):
# installs a program; DESKTOP adds resources/desktop/<name>.desktop and the icon <name> in
# every size; MANUAL generates <target>(1) from the program's --help at build time (with
# MANUAL_PL the Polish page too, from its Polish help); a window program
# has no --help, so PAGE installs its hand-written resources/man/<target>.1 instead.
function(kavrel_install_program target)
  cmake_parse_arguments(ARG "SUBCOMMANDS;PAGE" "DESKTOP;MANUAL;MANUAL_PL" "" ${ARGN})
  if(NOT TARGET ${target})
    return()
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(ARG_DESKTOP)
    install(FILES ${KAVREL_RESOURCES}/desktop/${ARG_DESKTOP}.desktop
      DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    string(REPLACE "-" "_" component ${ARG_DESKTOP})
    install(FILES ${KAVREL_RESOURCES}/metainfo/example.ostrevan.${component}.metainfo.xml
      DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${KAVREL_RESOURCES}/icons/${ARG_DESKTOP}.svg
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size IN LISTS KAVREL_ICON_SIZES)
      install(FILES ${KAVREL_RESOURCES}/icons/${size}/${ARG_DESKTOP}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  endif()
  # Instrumented and cross builds are not installed; they skip the pages.
  if(ARG_MANUAL AND NOT CMAKE_CROSSCOMPILING AND NOT KAVREL_SANITIZE AND NOT KAVREL_FUZZ)
    set(page ${PROJECT_BINARY_DIR}/man/${target}.1.gz)
    set(sections ${KAVREL_RESOURCES}/man/${target}.sections)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      # Its own settings folder: the tool's start-up must not touch the builder's settings.
      COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/man/settings QT_QPA_PLATFORM=offscreen
              ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target} "-DSUMMARY=${ARG_MANUAL}"
              -DSUBCOMMANDS=${ARG_SUBCOMMANDS} -DSECTIONS=${sections} -DOUTPUT=${page}
              -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
      DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake ${sections}
      COMMENT "Manual page ${target}(1)" VERBATIM)
    add_custom_target(${target}-manual ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  if(ARG_PAGE AND GZIP AND NOT CMAKE_CROSSCOMPILING AND NOT KAVREL_SANITIZE AND NOT KAVREL_FUZZ)
    set(source ${KAVREL_RESOURCES}/man/${target}.1)
    set(page ${PROJECT_BINARY_DIR}/man/${target}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${GZIP} -9nc ${source} > ${page}
      DEPENDS ${source} COMMENT "Manual page ${target}(1)" VERBATIM)
    add_custom_target(${target}-manual ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  # The Polish page beside the English one, for a user whose language is Polish: made from
  # the program's Polish help where it has one (resources/man/pl/<target>.sections holds the
  # rest), else the hand-written resources/man/pl/<target>.1.
  set(polish_sections ${KAVREL_RESOURCES}/man/pl/${target}.sections)
  set(pages_made OFF)
  if(NOT CMAKE_CROSSCOMPILING AND NOT KAVREL_SANITIZE AND NOT KAVREL_FUZZ)
    set(pages_made ON)
  endif()
  if(ARG_MANUAL AND ARG_MANUAL_PL AND EXISTS ${polish_sections} AND pages_made)
    set(page ${PROJECT_BINARY_DIR}/man/pl/${target}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man/pl
      COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/man/settings QT_QPA_PLATFORM=offscreen
              ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target} "-DSUMMARY=${ARG_MANUAL_PL}"
              -DLANGUAGE=pl -DSUBCOMMANDS=${ARG_SUBCOMMANDS} -DSECTIONS=${polish_sections} -DOUTPUT=${page}
              -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
      DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake ${polish_sections}
      COMMENT "Polish manual page ${target}(1)" VERBATIM)
    add_custom_target(${target}-manual-pl ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/pl/man1)
  elseif((ARG_MANUAL OR ARG_PAGE) AND GZIP AND pages_made)
    set(source ${KAVREL_RESOURCES}/man/pl/${target}.1)
    set(page ${PROJECT_BINARY_DIR}/man/pl/${target}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man/pl
      COMMAND ${GZIP} -9nc ${source} > ${page}
      DEPENDS ${source} COMMENT "Polish manual page ${target}(1)" VERBATIM)
    add_custom_target(${target}-manual-pl ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/pl/man1)
  endif()
endfunction()

find_program(GZIP gzip)

kavrel_install_program(Kavrel-Config DESKTOP kavrel-config PAGE)
kavrel_install_program(Kavrel-Monitor DESKTOP kavrel-monitor PAGE)
kavrel_install_program(Kavrel-Logger DESKTOP kavrel-logger PAGE)
kavrel_install_program(kavrel SUBCOMMANDS MANUAL "command-line tool for the Kavrel GSM telemetry module"
  MANUAL_PL "narzędzie wiersza poleceń dla modułu telemetrycznego GSM Kavrel")
kavrel_install_program(kavrel-sim MANUAL "simulated Kavrel module for demonstrations and tests")

# The types of the programs' files (.kvl, the monitor's settings by their first bytes), so
# that a double-click opens them in their program; the package's trigger updates the
# desktop's database.
if(TARGET Kavrel-Config OR TARGET Kavrel-Monitor)
  install(FILES ${KAVREL_RESOURCES}/mime/kavrel-tools.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
endif()

# Bash completion for kavrel, where bash-completion looks for it by the command's name.
if(TARGET kavrel AND NOT WIN32)
  install(FILES ${KAVREL_RESOURCES}/completion/kavrel DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

# The fleet service (Linux): its systemd unit, its system user for systemd-sysusers, and
# the template of its options, which the package's postinst copies to /etc/default once.
if(TARGET kavrel AND TARGET kavrel_fleet AND NOT WIN32)
  install(FILES ${KAVREL_RESOURCES}/systemd/kavrel-fleet.service DESTINATION lib/systemd/system)
  install(FILES ${KAVREL_RESOURCES}/systemd/kavrel-fleet.sysusers DESTINATION lib/sysusers.d RENAME kavrel-fleet.conf)
  install(FILES ${KAVREL_RESOURCES}/systemd/kavrel-fleet.default DESTINATION ${CMAKE_INSTALL_DATADIR}/kavrel-tools)
endif()

# The package's own documents, where Debian keeps them.
set(KAVREL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kavrel-tools)
install(FILES ${KAVREL_RESOURCES}/debian/copyright DESTINATION ${KAVREL_DOC_DIR})
if(GZIP)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP} -9nc ${KAVREL_RESOURCES}/debian/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
    DEPENDS ${KAVREL_RESOURCES}/debian/changelog)
  add_custom_target(kavrel-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${KAVREL_DOC_DIR})
endif()

include(KavrelPackage)
