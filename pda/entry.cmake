# The PDA's shipment entry ("pdaRecAdd"), re-weighing ("pdaRecReWeight") and the records made from
# pre-input shipments and transfer bags ("pdaRecReWeightPre", "pdaRecReWeightTrans", "pdaTransBagOut").
target_sources(tw_pda PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/entry_record.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/entry_sql.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/entry_steps.cc
  ${CMAKE_CURRENT_LIST_DIR}/record_conversion.cc
  ${CMAKE_CURRENT_LIST_DIR}/reweight.cc
  ${CMAKE_CURRENT_LIST_DIR}/shipment_entry.cc)
