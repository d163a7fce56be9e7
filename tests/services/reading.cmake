tw_unit_test(services_paging_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/paging_test.cc LIBS tw_services)
