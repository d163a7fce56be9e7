# The China Post EUB client against fake carrier servers and the test database (labelled e2e).
tw_e2e_test(e2e_carrier_eub_client SOURCES ${CMAKE_CURRENT_LIST_DIR}/eub_client_test.cc LIBS tw_carriers tw_fake_carrier)
