# Transfer-record batches and bag requests under arbitrary bytes: the cut into records, every key and
# goods line, the numbers of a bag and every statement built from them.
tw_fuzz_target(services_transfer_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_fuzz.cc LIBS tw_services
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/transfer_corpus RUNS 20000)
