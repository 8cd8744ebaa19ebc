# Installs Kestrova as a freedesktop application: the binary, its desktop entry, AppStream metainfo
# and icon, all named after one application id. The translations are compiled into the binary as
# resources (qt_add_translations in KestrovaCore.cmake), and so is the icon font, so nothing is
# installed for either.
include(GNUInstallDirs)

# Names the desktop entry, the metainfo, the icon and the Wayland app id the window reports.
set(KESTROVA_APP_ID org.kestrova.Kestrova)
# The day the version in project() was released; the metainfo's newest <release>.
set(KESTROVA_RELEASE_DATE 2026-12-07)
set(KESTROVA_HOMEPAGE https://github.com/kestrova/kestrova)
# Software centres fetch the screenshots from the public repository, not from the package.
set(KESTROVA_SCREENSHOT_URL https://raw.githubusercontent.com/kestrova/kestrova/main/data/screenshots)

target_compile_definitions(kestrova PRIVATE KESTROVA_APP_ID="${KESTROVA_APP_ID}")

set(KESTROVA_DESKTOP_FILE ${CMAKE_BINARY_DIR}/data/${KESTROVA_APP_ID}.desktop)
set(KESTROVA_METAINFO_FILE ${CMAKE_BINARY_DIR}/data/${KESTROVA_APP_ID}.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/data/kestrova.desktop.in ${KESTROVA_DESKTOP_FILE} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/kestrova.metainfo.xml.in ${KESTROVA_METAINFO_FILE} @ONLY)

# Every library comes from the system's own directories, so the installed binary needs no run path
# (qt_standard_project_setup() would give it $ORIGIN/../lib).
set_target_properties(kestrova PROPERTIES INSTALL_RPATH "")
install(TARGETS kestrova RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KESTROVA_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KESTROVA_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/kestrova.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${KESTROVA_APP_ID}.svg)

if(KESTROVA_BUILD_TESTS)
  add_test(NAME desktop_entry_valid COMMAND desktop-file-validate ${KESTROVA_DESKTOP_FILE})
  add_test(NAME metainfo_valid COMMAND appstreamcli validate --no-net --strict ${KESTROVA_METAINFO_FILE})
  set_tests_properties(desktop_entry_valid metainfo_valid PROPERTIES LABELS desktop)
endif()
