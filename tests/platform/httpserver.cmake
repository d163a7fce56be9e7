tw_unit_test(platform_httpserver_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/httpserver_test.cc LIBS tw_platform)
