# Shipments of carrier kinds through "pdaRecAdd" and "PreInputSet" with fake carrier servers: mail
# numbers stored, labels fetched, refusals, a carrier that is down and one that stalls.
tw_e2e_test(e2e_carrier_roads SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_roads_test.cc LIBS tw_server tw_fake_carrier)
# A carrier that stalls or refuses: the limit on its calls in flight, its breaker, batches refused at
# once, the carrier used again, and SIGTERM cutting its stalled calls.
tw_e2e_test(e2e_carrier_stall SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_stall_test.cc LIBS tw_server tw_fake_carrier)
