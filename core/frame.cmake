target_sources(tw_server PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/about.cc
  ${CMAKE_CURRENT_LIST_DIR}/client_key_cache.cc
  ${CMAKE_CURRENT_LIST_DIR}/request_tables.cc
  ${CMAKE_CURRENT_LIST_DIR}/barcode_door.cc
  ${CMAKE_CURRENT_LIST_DIR}/config.cc
  ${CMAKE_CURRENT_LIST_DIR}/db.cc
  ${CMAKE_CURRENT_LIST_DIR}/doors.cc
  ${CMAKE_CURRENT_LIST_DIR}/extension.cc
  ${CMAKE_CURRENT_LIST_DIR}/globals.cc
  ${CMAKE_CURRENT_LIST_DIR}/numbering.cc
  ${CMAKE_CURRENT_LIST_DIR}/pool.cc
  ${CMAKE_CURRENT_LIST_DIR}/reply.cc
  ${CMAKE_CURRENT_LIST_DIR}/state.cc
)
