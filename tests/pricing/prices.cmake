# Prices and quotes: pieces and chargeable weight, zones, field checks, discounts, bands and the
# quote's explanation text.
tw_unit_test(pricing_prices_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/weights_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/zones_checks_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/quote_test.cc
  LIBS tw_pricing)
# The prices against the test database.
tw_e2e_test(e2e_prices SOURCES ${CMAKE_CURRENT_LIST_DIR}/prices_db_test.cc LIBS tw_pricing)
