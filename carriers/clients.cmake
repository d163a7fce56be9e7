target_sources(tw_server PRIVATE ${CMAKE_CURRENT_LIST_DIR}/carrier_clients.cc)
