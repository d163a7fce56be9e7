tw_unit_test(core_frame_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pool_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/reply_log_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/config_test.cc
  LIBS tw_core)
tw_unit_test(core_numbering_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/numbering_test.cc LIBS tw_core)
