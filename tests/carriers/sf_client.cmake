# The SF Express client against fake carrier servers and the test database (labelled e2e).
tw_e2e_test(e2e_carrier_sf_client SOURCES ${CMAKE_CURRENT_LIST_DIR}/sf_client_test.cc LIBS tw_carriers tw_fake_carrier)
