# Shipments of carrier kinds through "PreInputSet" with fake carrier servers, and the host's label
# worker storing their labels.
tw_e2e_test(e2e_carrier_entry SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_entry_test.cc LIBS tw_server tw_fake_carrier)
