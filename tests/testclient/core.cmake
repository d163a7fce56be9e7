# The core of the test client against a loopback fake server.
add_library(tw_testclient_fake_server STATIC ${CMAKE_CURRENT_LIST_DIR}/fake_server.cc)
target_include_directories(tw_testclient_fake_server PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tw_testclient_fake_server PUBLIC Threads::Threads)

tw_unit_test(testclient_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/request_builder_test.cc
          ${CMAKE_CURRENT_LIST_DIR}/settings_test.cc
          ${CMAKE_CURRENT_LIST_DIR}/sender_test.cc
  LIBS tw_testclient tw_testclient_fake_server)

tw_unit_test(testclient_cli_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_test.cc
  LIBS tw_testclient tw_testclient_fake_server)
target_compile_definitions(testclient_cli_test PRIVATE
  TARNWICK_TESTCLIENT_PROGRAM="$<TARGET_FILE:tarnwick-testclient>")
add_dependencies(testclient_cli_test tarnwick-testclient)
