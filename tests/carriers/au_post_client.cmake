# The Australia Post client against fake carrier servers and the test database (labelled e2e).
tw_e2e_test(e2e_carrier_au_post_client SOURCES ${CMAKE_CURRENT_LIST_DIR}/au_post_client_test.cc
            LIBS tw_carriers tw_fake_carrier)
