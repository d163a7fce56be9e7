# The client's identity requests: their text helpers and the ID-card picture work.
tw_unit_test(services_client_id_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_id_test.cc LIBS tw_services)
