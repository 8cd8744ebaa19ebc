# The static core: every model, view-model and all logic, plus the QML module "Kestrova".
# Source lists are globbed so each subsystem can grow without touching the build files.
set(_subsystems client state playback screens desktop)
set(CORE_SOURCES "")
foreach(dir IN LISTS _subsystems)
  file(GLOB_RECURSE _found CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/src/${dir}/*.h)
  list(APPEND CORE_SOURCES ${_found})
endforeach()

file(GLOB_RECURSE QML_FILES CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/qml/*.qml)
foreach(f IN LISTS QML_FILES)
  get_filename_component(_name ${f} NAME)
  set_source_files_properties(${f} PROPERTIES QT_RESOURCE_ALIAS ${_name})
  if(_name STREQUAL "Theme.qml" OR _name STREQUAL "Icons.qml")
    set_source_files_properties(${f} PROPERTIES QT_QML_SINGLETON_TYPE TRUE)
  endif()
endforeach()

# The icon font comes from Debian's fonts-materialdesignicons-webfont and is baked into the binary.
set(MDI_FONT /usr/share/fonts-materialdesignicons-webfont/fonts/materialdesignicons-webfont.ttf)
configure_file(${MDI_FONT} ${CMAKE_BINARY_DIR}/generated/fonts/materialdesignicons.ttf COPYONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/fonts/materialdesignicons.ttf
  PROPERTIES QT_RESOURCE_ALIAS fonts/materialdesignicons.ttf)

# Only the sanitizer build turns this off: its suites load little QML, which then runs from
# source, and compiling every file to C++ under ASan would cost CI minutes.
set(_cachegen "")
if(NOT KESTROVA_QML_CACHEGEN)
  set(_cachegen NO_CACHEGEN)
endif()

qt_add_library(kestrova_core STATIC)
qt_add_qml_module(kestrova_core
  ${_cachegen}
  OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/Kestrova
  URI Kestrova
  VERSION 1.0
  RESOURCE_PREFIX /
  QML_FILES ${QML_FILES}
  SOURCES ${CORE_SOURCES}
  RESOURCES ${CMAKE_BINARY_DIR}/generated/fonts/materialdesignicons.ttf
)
target_include_directories(kestrova_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
# The generated QML type registrations include each registered header by its bare file name.
set(_header_dirs "")
foreach(f IN LISTS CORE_SOURCES)
  if(f MATCHES "\\.h$")
    get_filename_component(_dir ${f} DIRECTORY)
    list(APPEND _header_dirs ${_dir})
  endif()
endforeach()
list(REMOVE_DUPLICATES _header_dirs)
# src/desktop registers no QML types; its headers are only ever included by path.
list(REMOVE_ITEM _header_dirs ${CMAKE_SOURCE_DIR}/src/desktop)
target_include_directories(kestrova_core PRIVATE ${_header_dirs})
target_link_libraries(kestrova_core PUBLIC
  Qt6::Core Qt6::Gui Qt6::Network Qt6::WebSockets Qt6::Qml Qt6::Quick Qt6::QuickControls2
  Qt6::Multimedia Qt6::Svg Qt6::Concurrent Qt6::DBus
  QCoro6::Core QCoro6::Network QCoro6::WebSockets QCoro6::Qml QCoro6::DBus
  qt6keychain PkgConfig::FFMPEG)
target_compile_options(kestrova_core PRIVATE -Wall -Wextra)

# Every translations/kestrova_<language>.ts is compiled into the core's resources as
# :/i18n/kestrova_<language>.qm, so the application and the test suites find the same catalogues.
file(GLOB TS_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/translations/kestrova_*.ts)
qt_add_translations(kestrova_core
  TS_FILES ${TS_FILES}
  RESOURCE_PREFIX /i18n
  LRELEASE_OPTIONS -nounfinished -removeidentical
)
