# The frame under an operator's events: lost database sessions, a restart, thousands of idle
# connections, SIGTERM under load and request bodies past the host's limits.
tw_e2e_test(e2e_reliability SOURCES ${CMAKE_CURRENT_LIST_DIR}/reliability_test.cc LIBS tw_util)
