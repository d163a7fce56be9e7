# The client's goods list.
target_sources(tw_server PRIVATE ${CMAKE_CURRENT_LIST_DIR}/client_goods.cc)
