# The client's writing road: the shipment-entry worker and the "PreInputSet" / "PreInputDel" batches.
target_sources(tw_services PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/pre_input_batch.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/pre_input_record.cc
  ${CMAKE_CURRENT_LIST_DIR}/pre_input_entry.cc
  ${CMAKE_CURRENT_LIST_DIR}/pre_input_set.cc)
