# The goods name of the three carriers' orders side by side (labelled e2e: sessions need the pool).
tw_e2e_test(e2e_carrier_goods_names SOURCES ${CMAKE_CURRENT_LIST_DIR}/goods_names_test.cc
            LIBS tw_server tw_fake_carrier)
