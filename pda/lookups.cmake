# The PDA's lookups and events: suppliers and batches, control codes and prompts, user rights,
# pickups and tracking, export bags, record queries and number issue.
target_sources(tw_pda PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/events.cc
  ${CMAKE_CURRENT_LIST_DIR}/export_bags.cc
  ${CMAKE_CURRENT_LIST_DIR}/lookups.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_queries.cc)
