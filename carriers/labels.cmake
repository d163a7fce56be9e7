target_sources(tw_carriers PRIVATE ${CMAKE_CURRENT_LIST_DIR}/label_worker.cc ${CMAKE_CURRENT_LIST_DIR}/label_store.cc)
