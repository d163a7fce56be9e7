# Shipments of carrier kinds through "pdaRecAdd" and "PreInputSet" with fake carrier servers: mail
# numbers stored, labels fetched, refusals, a carrier that is down and one that stalls.
tw_e2e_test(e2e_carrier_roads SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_roads_test.cc LIBS tw_server tw_fake_carrier)
