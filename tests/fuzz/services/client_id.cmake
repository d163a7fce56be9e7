# ID-card pictures and names of new clients under arbitrary bytes: the whole picture work, the
# picture value's decoding, and accounts made from names.
tw_fuzz_target(services_client_id_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/client_id_fuzz.cc LIBS tw_services
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/id_card_corpus RUNS 20000)
