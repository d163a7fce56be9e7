target_sources(tw_server PRIVATE ${CMAKE_CURRENT_LIST_DIR}/return_address.cc)
