# Tests of the browser window: the hand-off without an engine (every build),
# the frame and the real engine end to end (GUI builds).
set(VELMORA_WINDOW_TEST_DIR ${CMAKE_CURRENT_LIST_DIR})

add_executable(test_handoff ${VELMORA_WINDOW_TEST_DIR}/test_handoff.cpp ${VELMORA_WINDOW_TEST_DIR}/TestSoundServer.h)
target_compile_definitions(test_handoff PRIVATE VELMORA_TEST_DIR="${VELMORA_WINDOW_TEST_DIR}")
target_link_libraries(test_handoff PRIVATE velmora_handoff GTest::gtest)
add_test(NAME velmora_handoff COMMAND test_handoff)
set_tests_properties(velmora_handoff PROPERTIES LABELS "nogui" TIMEOUT 120)

if(BUILD_GUI)
  add_executable(test_mainframe ${VELMORA_WINDOW_TEST_DIR}/test_mainframe.cpp)
  target_link_libraries(test_mainframe PRIVATE velmora_window Qt6::Test)
  add_test(NAME velmora_mainframe COMMAND test_mainframe)
  set_tests_properties(velmora_mainframe PROPERTIES
    LABELS "gui" TIMEOUT 180
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()

if(BUILD_GUI)
  add_executable(test_browser_e2e ${VELMORA_WINDOW_TEST_DIR}/test_browser_e2e.cpp ${VELMORA_WINDOW_TEST_DIR}/TestSoundServer.h)
  target_compile_definitions(test_browser_e2e PRIVATE VELMORA_TEST_DIR="${VELMORA_WINDOW_TEST_DIR}")
  target_link_libraries(test_browser_e2e PRIVATE velmora_window Qt6::Test)
  add_test(NAME velmora_browser_e2e COMMAND test_browser_e2e)
  set_tests_properties(velmora_browser_e2e PROPERTIES
    LABELS "gui" TIMEOUT 240
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()

if(BUILD_GUI)
  # The real player, started by the browser, heard through a PulseAudio null sink.
  add_executable(test_browser_sonavel ${VELMORA_WINDOW_TEST_DIR}/test_browser_sonavel.cpp ${VELMORA_WINDOW_TEST_DIR}/TestSoundServer.h)
  target_compile_definitions(test_browser_sonavel PRIVATE VELMORA_TEST_DIR="${VELMORA_WINDOW_TEST_DIR}")
  target_link_libraries(test_browser_sonavel PRIVATE velmora_window Qt6::Test)
  if(TARGET sonavel)
    add_dependencies(test_browser_sonavel sonavel)
  endif()
  add_test(NAME velmora_plays_in_sonavel
    COMMAND ${TEST_SUPPORT_DIR}/with-pulse.sh $<TARGET_FILE:test_browser_sonavel>)
  set_tests_properties(velmora_plays_in_sonavel PROPERTIES
    LABELS "gui;pulse" TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1")
endif()
