# Goods out: picking carts, orders out and serial-numbered pieces.
target_sources(tw_warehouse PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/orders.cc
  ${CMAKE_CURRENT_LIST_DIR}/serials.cc)
