tw_unit_test(platform_event_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/event_test.cc
  LIBS tw_platform)
