# The outgoing HTTP client against the fake carrier server on loopback.
tw_unit_test(carriers_http_client_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_client_test.cc
             LIBS tw_carriers tw_fake_carrier)
# The gate of a carrier account (limit on calls in flight, breaker) against the fake carrier server.
tw_unit_test(carriers_gate_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_gate_test.cc
             LIBS tw_carriers tw_fake_carrier)
