# The send check's text and the PDA road's request helpers under arbitrary bytes: line splitting and
# numbers within the text's length, key presence and the field-mapping UPDATE.
tw_fuzz_target(pda_check_text_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/check_text_fuzz.cc LIBS tw_pda
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/check_text_corpus RUNS 20000)
