# The paged-list and batch-reply forms of the list and batch requests.
target_sources(tw_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/paging.cc)
