# The client's goods list.
target_sources(tw_warehouse PRIVATE ${CMAKE_CURRENT_LIST_DIR}/client_goods.cc)
