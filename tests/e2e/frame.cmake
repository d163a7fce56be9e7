tw_e2e_test(e2e_frame SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_test.cc)
tw_e2e_test(e2e_doors SOURCES ${CMAKE_CURRENT_LIST_DIR}/doors_test.cc LIBS tw_util)
tw_e2e_test(e2e_barcode_door SOURCES ${CMAKE_CURRENT_LIST_DIR}/barcode_door_test.cc)
