# The label store and queue on the test database (labelled e2e: it needs the database).
tw_e2e_test(e2e_carrier_label_store SOURCES ${CMAKE_CURRENT_LIST_DIR}/label_store_test.cc LIBS tw_carriers)
