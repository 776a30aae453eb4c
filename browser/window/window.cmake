# The browser window: the sound-link hand-off (Qt Core + libcurl, built in
# every configuration), the frame and views, and the velmora program.
set(VELMORA_WINDOW_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(velmora_handoff STATIC
  ${VELMORA_WINDOW_DIR}/CAudioHandoff.cpp
  ${VELMORA_WINDOW_DIR}/CAudioHandoff.h
  ${VELMORA_WINDOW_DIR}/CHandoffHost.h
  ${VELMORA_WINDOW_DIR}/CPlayerLauncher.cpp
  ${VELMORA_WINDOW_DIR}/CPlayerLauncher.h
  ${VELMORA_WINDOW_DIR}/CSoundDownload.cpp
  ${VELMORA_WINDOW_DIR}/CSoundDownload.h
  ${VELMORA_WINDOW_DIR}/WindowResource.h)
target_link_libraries(velmora_handoff PUBLIC Qt6::Core CURL::libcurl)

if(BUILD_GUI)
  add_library(velmora_window STATIC
    ${VELMORA_WINDOW_DIR}/CMainFrame.cpp
    ${VELMORA_WINDOW_DIR}/CMainFrame.h
    ${VELMORA_WINDOW_DIR}/CVelmoraDoc.h
    ${VELMORA_WINDOW_DIR}/CVelmoraPage.cpp
    ${VELMORA_WINDOW_DIR}/CVelmoraPage.h
    ${VELMORA_WINDOW_DIR}/CVelmoraView.cpp
    ${VELMORA_WINDOW_DIR}/CVelmoraView.h
    ${VELMORA_WINDOW_DIR}/ToolbarImages.cpp
    ${VELMORA_WINDOW_DIR}/ToolbarImages.h)
  target_link_libraries(velmora_window PUBLIC
    velmora_handoff velmora_startup
    Qt6::Widgets Qt6::WebEngineWidgets Qt6::PrintSupport)
  # The favourites, the lower pane and the small dialogs, once they are built.
  if(TARGET velmora_favs)
    target_link_libraries(velmora_window PUBLIC velmora_favs)
    target_compile_definitions(velmora_window PRIVATE VELMORA_HAVE_FAVS)
  endif()

  add_executable(velmora ${VELMORA_WINDOW_DIR}/main.cpp)
  target_link_libraries(velmora PRIVATE velmora_window)
endif()
