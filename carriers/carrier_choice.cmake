# The hand-over of shipments to carriers, shared by the client and PDA shipment entries.
target_sources(tw_carriers PRIVATE ${CMAKE_CURRENT_LIST_DIR}/carrier_choice.cc)
