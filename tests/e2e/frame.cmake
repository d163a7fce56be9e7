tw_e2e_test(e2e_frame SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_test.cc)
