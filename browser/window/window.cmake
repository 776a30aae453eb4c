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
target_include_directories(velmora_handoff PUBLIC ${VELMORA_WINDOW_DIR})
target_link_libraries(velmora_handoff PUBLIC Qt6::Core CURL::libcurl)
