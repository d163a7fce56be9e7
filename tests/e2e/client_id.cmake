# The client's identity requests over HTTP: ID-card pictures, waybill numbers, MD5, the in-system
# login and client creation.
tw_e2e_test(e2e_id_card SOURCES ${CMAKE_CURRENT_LIST_DIR}/id_card_test.cc LIBS tw_util tw_image)
tw_e2e_test(e2e_client_numbers SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_numbers_test.cc LIBS tw_util)
