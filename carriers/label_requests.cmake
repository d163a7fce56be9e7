# "EPostUpload" and "EPostPdf" of the DoApi door.
target_sources(tw_carriers PRIVATE ${CMAKE_CURRENT_LIST_DIR}/label_requests.cc)
