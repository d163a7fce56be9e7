# The send scan through DoPda against the test database.
tw_e2e_test(e2e_pda_send SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_send_test.cc LIBS tw_util)
