target_sources(tw_pricing PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ostrum_container.cc)
