# The core: settings record, return codes, signed sibling URLs, request builder, sender, command line.
add_library(tw_testclient STATIC
  ${CMAKE_CURRENT_LIST_DIR}/form.cc
  ${CMAKE_CURRENT_LIST_DIR}/settings.cc
  ${CMAKE_CURRENT_LIST_DIR}/return_codes.cc
  ${CMAKE_CURRENT_LIST_DIR}/quillon_url.cc
  ${CMAKE_CURRENT_LIST_DIR}/request_builder.cc
  ${CMAKE_CURRENT_LIST_DIR}/sender.cc
  ${CMAKE_CURRENT_LIST_DIR}/cli.cc)
tw_gbk(tw_testclient)
target_include_directories(tw_testclient PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tw_testclient PUBLIC tw_util Threads::Threads)
