# SPDX-License-Identifier: MIT
# Robustness: faults injected by scripted servers, and the inputs of the
# fetched-mail fuzzer replayed through the reader.
orvex_add_test(tst_fault_injection
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_fault_injection.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scripted_smtp_server.cpp ${CMAKE_CURRENT_LIST_DIR}/scripted_smtp_server.h
          ${CMAKE_CURRENT_LIST_DIR}/scripted_pop3_server.cpp ${CMAKE_CURRENT_LIST_DIR}/scripted_pop3_server.h
          ${CMAKE_CURRENT_LIST_DIR}/tls_capable_server.h
          ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.cpp ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.h
          ${CMAKE_CURRENT_LIST_DIR}/pop3_test_support.cpp ${CMAKE_CURRENT_LIST_DIR}/pop3_test_support.h
  LIBS orvex_engine orvex_platform orvex_test_dialogs Qt6::Network PkgConfig::GMIME)

# The reader is compiled in (the library exports only its entry points),
# with the objects it fills; the POP3 dialogue and the entry points are not
# needed.
file(GLOB _reader_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/component/*.cpp ${CMAKE_SOURCE_DIR}/component/*.h)
list(FILTER _reader_sources EXCLUDE REGEX "/(pop3[^/]*|factory|registration)\\.(cpp|h)$")
orvex_add_test(tst_mime_reader_inputs
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mime_reader_inputs.cpp
          ${CMAKE_SOURCE_DIR}/tests/fuzz/fetched_message_check.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/fetched_message_check.h
          ${_reader_sources}
  LIBS Qt6::Core Qt6::Network PkgConfig::GMIME PkgConfig::GSASL PkgConfig::GUMBO ${CMAKE_DL_LIBS})
