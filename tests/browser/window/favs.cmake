# Tests of the favourites, the lower pane and the small dialogs.
add_executable(test_favorites_scan ${CMAKE_CURRENT_LIST_DIR}/test_favorites_scan.cpp)
target_link_libraries(test_favorites_scan PRIVATE velmora_favscan GTest::gtest_main)
set_target_properties(test_favorites_scan PROPERTIES AUTOMOC OFF AUTORCC OFF)
gtest_discover_tests(test_favorites_scan PROPERTIES LABELS "nogui" TIMEOUT 60
  DISCOVERY_TIMEOUT 60)

if(BUILD_GUI)
  add_executable(test_favorites_menu ${CMAKE_CURRENT_LIST_DIR}/test_favorites_menu.cpp)
  target_link_libraries(test_favorites_menu PRIVATE velmora_favs Qt6::Test)
  add_test(NAME test_favorites_menu COMMAND test_favorites_menu)
  set_tests_properties(test_favorites_menu PROPERTIES LABELS "gui" TIMEOUT 60
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

  add_executable(test_dialogs ${CMAKE_CURRENT_LIST_DIR}/test_dialogs.cpp)
  target_link_libraries(test_dialogs PRIVATE velmora_favs Qt6::Test)
  add_test(NAME test_dialogs COMMAND test_dialogs)
  set_tests_properties(test_dialogs PROPERTIES LABELS "gui" TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# The bundled site's recordings: current, decodable by sox, loaded by the player
# with the same samples, and with the pitch their pages state.
if(TARGET sitegen AND TARGET sonavel-analyze)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    add_test(NAME test_lowerpane_recordings
      COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/test_lowerpane_recordings.py
        $<TARGET_FILE:sitegen> $<TARGET_FILE:sonavel-analyze> ${CMAKE_SOURCE_DIR}/site/Korvath/sounds)
    set_tests_properties(test_lowerpane_recordings PROPERTIES LABELS "nogui" TIMEOUT 120)
  endif()
endif()

if(BUILD_GUI AND TARGET velmora_window)
  add_executable(test_lowerpane ${CMAKE_CURRENT_LIST_DIR}/test_lowerpane.cpp)
  target_link_libraries(test_lowerpane PRIVATE velmora_window velmora_favs Qt6::Test)
  add_test(NAME test_lowerpane COMMAND test_lowerpane)
  set_tests_properties(test_lowerpane PROPERTIES LABELS "gui" TIMEOUT 180
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()

if(BUILD_GUI AND TARGET velmora_window)
  # The bundled site end to end: start-up from site/, both panes, and every WAV
  # and AIFF link heard through a PulseAudio null sink.
  add_executable(test_lowerpane_site ${CMAKE_CURRENT_LIST_DIR}/test_lowerpane_site.cpp)
  target_compile_definitions(test_lowerpane_site PRIVATE VELMORA_SITE_DIR="${CMAKE_SOURCE_DIR}/site")
  target_link_libraries(test_lowerpane_site PRIVATE velmora_window velmora_favs Qt6::Test)
  if(TARGET sonavel)
    add_dependencies(test_lowerpane_site sonavel)
  endif()
  add_test(NAME test_lowerpane_site
    COMMAND ${TEST_SUPPORT_DIR}/with-pulse.sh $<TARGET_FILE:test_lowerpane_site>)
  set_tests_properties(test_lowerpane_site PROPERTIES LABELS "gui;pulse" TIMEOUT 180
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()
