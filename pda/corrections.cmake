# Corrections: record edits and returns with their depot booking, transfer receipt and shelving.
target_sources(tw_pda PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/corrections.cc
  ${CMAKE_CURRENT_LIST_DIR}/transfer_receipt.cc)
