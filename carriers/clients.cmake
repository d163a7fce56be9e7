target_sources(tw_carriers PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/carrier_clients.cc
  ${CMAKE_CURRENT_LIST_DIR}/eub_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/au_post_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/sf_client.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/carrier_text.cc)
