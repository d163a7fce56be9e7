# Prices and quotes: pieces and chargeable weight, client and supplier prices, zones, field checks
# and the place and base-price look-ups of the quotes.
target_sources(tw_pricing PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/charge_weight.cc
  ${CMAKE_CURRENT_LIST_DIR}/client_price.cc
  ${CMAKE_CURRENT_LIST_DIR}/field_check.cc
  ${CMAKE_CURRENT_LIST_DIR}/goods_line.cc
  ${CMAKE_CURRENT_LIST_DIR}/pieces.cc
  ${CMAKE_CURRENT_LIST_DIR}/prices.cc
  ${CMAKE_CURRENT_LIST_DIR}/quote.cc
  ${CMAKE_CURRENT_LIST_DIR}/quote_lookups.cc
  ${CMAKE_CURRENT_LIST_DIR}/supplier_price.cc
  ${CMAKE_CURRENT_LIST_DIR}/zone_load.cc
  ${CMAKE_CURRENT_LIST_DIR}/zone_table.cc)
