# The client's reading road: pre-input and shipment queries, fees and totals, client information,
# the service-kind list.
tw_e2e_test(e2e_client_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_read_test.cc LIBS tw_util)
