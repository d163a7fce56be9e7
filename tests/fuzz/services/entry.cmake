# Batches of pre-input shipments under arbitrary bytes: cutting into records, every key and goods
# line, the checks, both statements and the ids to withdraw.
tw_fuzz_target(services_entry_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_fuzz.cc LIBS tw_services
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/entry_corpus RUNS 20000)
