target_sources(tw_carriers PRIVATE ${CMAKE_CURRENT_LIST_DIR}/return_address.cc)
