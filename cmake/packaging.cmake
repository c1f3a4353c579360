# Installing the programs, their man pages, the desktop entry and the icon; and a Debian package
# of them (`cpack -G DEB`) whose dependencies dpkg-shlibdeps reads from the programs themselves.
include(GNUInstallDirs)

set(tallimo_programs tlw tallimo-sim-headless)
if(TALLIMO_GUI)
  list(APPEND tallimo_programs tallimo-sim)
endif()
install(TARGETS ${tallimo_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(TALLIMO_GUI)
  install(FILES packaging/tallimo-sim.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/tallimo-sim.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Man pages from each program's own --help, so that they never disagree with it.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(tallimo_man_pages)
  foreach(program ${tallimo_programs})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9 -n -f ${page}
      DEPENDS ${program}
      COMMENT "Man page of ${program}")
    list(APPEND tallimo_man_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${tallimo_man_pages})
  install(FILES ${tallimo_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: the man pages are not made")
endif()

set(CPACK_PACKAGE_NAME tallimo-sim)
set(CPACK_PACKAGE_VENDOR "Tallimo")
set(CPACK_PACKAGE_CONTACT "Tallimo developers <developers@tallimo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Table-terminal simulator for bridge club scoring databases")
set(CPACK_PACKAGE_DESCRIPTION "Plays every table terminal of a bridge event into the event's Microsoft \
Jet/Access scoring database, step by step at a chosen pace, with a window or headless; and tlw, a tool \
that inspects, checks and prepares Jet 3 and Jet 4 databases and reads Access 2007-2019 ones.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tallimo-sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's platform plugins come in a package of their own that no library links to.
if(TALLIMO_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
