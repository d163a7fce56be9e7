tw_unit_test(pricing_refdata_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/place_table_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/base_price_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/ems_kind_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/kind_fill_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/country_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/container_test.cc
  LIBS tw_pricing)
