# A "pdaRecAdd" body under arbitrary bytes: every key, the goods and piece lists, the checks and
# clamps, the piece rows and the 117-value call.
tw_fuzz_target(pda_entry_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_fuzz.cc LIBS tw_pda
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/entry_corpus RUNS 20000)
