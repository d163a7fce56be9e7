# The carrier clients' shared text helpers.
tw_unit_test(carriers_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_text_test.cc LIBS tw_carriers)
