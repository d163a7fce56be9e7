# The PDA road's shared helpers: reply and refusal forms, key presence, the field-mapping UPDATE,
# batch numbers and date texts.
target_sources(tw_pda PRIVATE ${CMAKE_CURRENT_LIST_DIR}/internal/pda_common.cc)
