target_sources(tw_util PRIVATE ${CMAKE_CURRENT_LIST_DIR}/registry.cc)
