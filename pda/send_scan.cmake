# The send scan: the check text, supplier costing and the four scan procedures.
target_sources(tw_pda PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/check_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/send_scan.cc)
