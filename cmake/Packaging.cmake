# The Debian package (scripts/package builds it from a Release tree): the library dependencies come
# from dpkg-shlibdeps; what it cannot see is listed here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VENDOR "The Kestrova developers")
set(CPACK_PACKAGE_CONTACT "The Kestrova developers <dev@kestrova.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client for the Frigate network video recorder")
set(CPACK_PACKAGE_DESCRIPTION "Kestrova shows a Frigate server's health, its camera grid and \
live view, alerts with playback, and a recordings calendar with a player that draws motion boxes \
labelled with the tracked objects.")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KESTROVA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# kestrova_<version>_<arch>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The QML modules the screens import are plugins loaded at run time, which dpkg-shlibdeps cannot
# see. One package per import in qml/ (scripts/check-package fails when an import has none here):
#   QtQuick (and the QtQml, QtQml.Models, QtQml.WorkerScript it imports in turn),
#   QtQuick.Controls and .Basic (whose controls import QtQuick.Templates), QtQuick.Layouts,
#   QtQuick.Shapes, QtQuick.Window, QtMultimedia.
# The X11 platform plugin ships in libqt6gui6, the SVG and JPEG image plugins with libqt6svg6 and
# libqt6gui6, and the icon font is compiled into the binary, so none of them is listed.
set(KESTROVA_QML_RUNTIME_PACKAGES
  qml6-module-qtqml
  qml6-module-qtqml-models
  qml6-module-qtqml-workerscript
  qml6-module-qtquick
  qml6-module-qtquick-controls
  qml6-module-qtquick-templates
  qml6-module-qtquick-layouts
  qml6-module-qtquick-shapes
  qml6-module-qtquick-window
  qml6-module-qtmultimedia)
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${KESTROVA_QML_RUNTIME_PACKAGES})
# Native windows on Wayland; without it Qt falls back to X11 through Xwayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

include(CPack)
