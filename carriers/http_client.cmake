# The outgoing HTTP client of the carrier clients (zlib inflates gzip and deflate bodies).
find_package(ZLIB REQUIRED)
target_sources(tw_carriers PRIVATE ${CMAKE_CURRENT_LIST_DIR}/http_client.cc ${CMAKE_CURRENT_LIST_DIR}/carrier_gate.cc)
target_link_libraries(tw_carriers PUBLIC ZLIB::ZLIB)
