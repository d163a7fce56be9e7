# Goods definitions, their placement in depots and the shelves.
target_sources(tw_warehouse PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/goods.cc
  ${CMAKE_CURRENT_LIST_DIR}/goods.cc
  ${CMAKE_CURRENT_LIST_DIR}/shelves.cc)
