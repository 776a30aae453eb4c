# Favourites, lower pane and the small dialogs of the browser window.
# velmora_favscan is the favourites scan alone (QtCore only), so the sanitizer
# build (BUILD_GUI=OFF) tests it too; velmora_favs holds the widgets.
add_library(velmora_favscan STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CFavoritesScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CFavoritesFolder.cpp)
target_link_libraries(velmora_favscan PUBLIC Qt6::Core)
set_target_properties(velmora_favscan PROPERTIES AUTOMOC OFF AUTORCC OFF)

if(BUILD_GUI)
  set(FAVS_DIR ${CMAKE_CURRENT_LIST_DIR})
  add_library(velmora_favs STATIC
    ${FAVS_DIR}/CFavoritesMenu.cpp ${FAVS_DIR}/CFavoritesMenu.h
    ${FAVS_DIR}/CLinkLabel.cpp ${FAVS_DIR}/CLinkLabel.h
    ${FAVS_DIR}/CAboutDlg.cpp ${FAVS_DIR}/CAboutDlg.h
    ${FAVS_DIR}/CPreferencesDlg.cpp ${FAVS_DIR}/CPreferencesDlg.h
    ${FAVS_DIR}/CDialogUnits.h
    ${FAVS_DIR}/CFrameLower.cpp ${FAVS_DIR}/CFrameLower.h
    ${FAVS_DIR}/CVelmoraViewLower.cpp ${FAVS_DIR}/CVelmoraViewLower.h)
  target_link_libraries(velmora_favs PUBLIC velmora_favscan Qt6::Widgets Qt6::WebEngineWidgets)
  # The application object, the start-up folder and the connection flag.
  if(TARGET velmora_startup)
    target_link_libraries(velmora_favs PUBLIC velmora_startup)
  endif()
endif()
