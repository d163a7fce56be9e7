# Reference data: service kinds with their areas and supplier prices, kind aliases and fill records,
# the place table, the base price bands and the country names.
target_sources(tw_pricing PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/base_price.cc
  ${CMAKE_CURRENT_LIST_DIR}/country.cc
  ${CMAKE_CURRENT_LIST_DIR}/ems_kind.cc
  ${CMAKE_CURRENT_LIST_DIR}/kind_fill.cc
  ${CMAKE_CURRENT_LIST_DIR}/place_table.cc)
