# Favourites, lower pane and the small dialogs of the browser window.
# velmora_favscan is the favourites scan alone (QtCore only), so the sanitizer
# build (BUILD_GUI=OFF) tests it too; velmora_favs holds the widgets.
add_library(velmora_favscan STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CFavoritesScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CFavoritesFolder.cpp)
target_include_directories(velmora_favscan PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(velmora_favscan PUBLIC Qt6::Core)
set_target_properties(velmora_favscan PROPERTIES AUTOMOC OFF AUTORCC OFF)

if(BUILD_GUI)
  add_library(velmora_favs STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CFavoritesMenu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CFavoritesMenu.h)
  target_include_directories(velmora_favs PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(velmora_favs PUBLIC velmora_favscan Qt6::Widgets)
endif()
