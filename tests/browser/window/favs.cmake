# Tests of the favourites, the lower pane and the small dialogs.
add_executable(test_favorites_scan ${CMAKE_CURRENT_LIST_DIR}/test_favorites_scan.cpp)
target_link_libraries(test_favorites_scan PRIVATE velmora_favscan GTest::gtest_main)
set_target_properties(test_favorites_scan PROPERTIES AUTOMOC OFF AUTORCC OFF)
gtest_discover_tests(test_favorites_scan PROPERTIES LABELS "nogui" TIMEOUT 60
  DISCOVERY_TIMEOUT 60)
