# Reference data loaded from the test database, and the load summary of a host.
tw_e2e_test(e2e_refdata SOURCES ${CMAKE_CURRENT_LIST_DIR}/refdata_test.cc LIBS tw_server)
