target_sources(tw_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/client_key_cache.cc
  ${CMAKE_CURRENT_LIST_DIR}/config.cc
  ${CMAKE_CURRENT_LIST_DIR}/db.cc
  ${CMAKE_CURRENT_LIST_DIR}/numbering.cc
  ${CMAKE_CURRENT_LIST_DIR}/pool.cc
  ${CMAKE_CURRENT_LIST_DIR}/reply.cc
)
