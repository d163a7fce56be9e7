# The client's identity requests: ID-card pictures ("DoIDCardPicSet"), waybill numbers ("DoGetNo"),
# "GenerateMD5", the in-system login "GetClientID" and "ClientCreate".
target_sources(tw_services PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/client_id_text.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/id_card_image.cc
  ${CMAKE_CURRENT_LIST_DIR}/client_numbers.cc
  ${CMAKE_CURRENT_LIST_DIR}/id_card_picture.cc)
