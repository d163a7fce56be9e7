# The client's writing road: the entry worker's pieces (unit), and the worker itself driven on a
# pool connection against the test database with a stand-in carrier (labelled e2e: it needs the
# database).
tw_unit_test(services_entry_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_record_test.cc LIBS tw_services)
tw_e2e_test(e2e_entry_worker SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_worker_test.cc LIBS tw_services)
