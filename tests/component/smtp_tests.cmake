# Tests of the sending side of the mail component.
orvex_add_test(tst_smtp_send
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_smtp_send.cpp ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.cpp
          ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.h
  LIBS orvex_engine orvex_platform orvex_test_servers PkgConfig::GMIME
  PROPERTIES FIXTURES_REQUIRED mail_servers)
