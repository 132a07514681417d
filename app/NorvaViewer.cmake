# The window: a library for the executable and the window tests, and the program.
include(GNUInstallDirs)

set(NORVA_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
set(NORVA_APP_ID org.norva.NorvaViewer)

add_library(norva_window STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/NorvaViewerUnit.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/NorvaViewerUnit.h
  ${CMAKE_CURRENT_SOURCE_DIR}/WindowText.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WindowText.h
  ${CMAKE_CURRENT_SOURCE_DIR}/WindowTextView.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WindowTextView.h
  ${CMAKE_CURRENT_SOURCE_DIR}/WindowWidgets.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WindowWidgets.h
  ${NORVA_RESOURCES}/NorvaViewerUnit.ui
  ${NORVA_RESOURCES}/NorvaViewer.qrc
)
set_target_properties(norva_window PROPERTIES
  AUTOMOC ON
  AUTOUIC ON
  AUTORCC ON
  AUTOUIC_SEARCH_PATHS ${NORVA_RESOURCES}
)
target_include_directories(norva_window PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(norva_window PUBLIC norva_core Qt6::Widgets)

add_executable(NorvaViewer ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(NorvaViewer PRIVATE norva_window)

install(TARGETS NorvaViewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT viewer)
install(FILES ${NORVA_RESOURCES}/${NORVA_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT viewer)
install(FILES ${NORVA_RESOURCES}/${NORVA_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT viewer)
install(FILES ${NORVA_RESOURCES}/${NORVA_APP_ID}.mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME ${NORVA_APP_ID}.xml COMPONENT viewer)
foreach(size 16 32 48 64 128 256)
  install(FILES ${NORVA_RESOURCES}/icons/norvaviewer-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${NORVA_APP_ID}.png COMPONENT viewer)
endforeach()
