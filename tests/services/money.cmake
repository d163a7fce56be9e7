# The client road's transfer requests: the pieces that need no database.
tw_unit_test(services_transfer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_record_test.cc LIBS tw_services)
