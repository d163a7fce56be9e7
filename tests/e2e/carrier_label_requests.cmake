# "EPostUpload" and "EPostPdf" through DoApi with fake carrier servers.
tw_e2e_test(e2e_carrier_label_requests SOURCES ${CMAKE_CURRENT_LIST_DIR}/carrier_label_requests_test.cc
            LIBS tw_server tw_fake_carrier)
