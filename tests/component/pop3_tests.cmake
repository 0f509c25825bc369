# SPDX-License-Identifier: MIT
# Tests of the receiving side of the mail component.
set(_pop3_support ${CMAKE_CURRENT_LIST_DIR}/pop3_test_support.cpp ${CMAKE_CURRENT_LIST_DIR}/pop3_test_support.h)

orvex_add_test(tst_pop3_fetch
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pop3_fetch.cpp ${_pop3_support}
          ${CMAKE_CURRENT_LIST_DIR}/network_namespace.cpp ${CMAKE_CURRENT_LIST_DIR}/network_namespace.h
  LIBS orvex_engine orvex_platform orvex_test_servers
  PROPERTIES FIXTURES_REQUIRED mail_servers)

orvex_add_test(tst_pop3_scripted
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pop3_scripted.cpp ${CMAKE_CURRENT_LIST_DIR}/scripted_pop3_server.cpp
          ${CMAKE_CURRENT_LIST_DIR}/scripted_pop3_server.h ${_pop3_support}
          ${CMAKE_CURRENT_LIST_DIR}/network_namespace.cpp ${CMAKE_CURRENT_LIST_DIR}/network_namespace.h
  LIBS orvex_engine orvex_platform Qt6::Network)

# The text helpers are compiled in: the component library exports nothing
# but its entry points.
orvex_add_test(tst_pop3_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_pop3_text.cpp
          ${CMAKE_SOURCE_DIR}/component/charset_decoding.cpp ${CMAKE_SOURCE_DIR}/component/attachment_name.cpp
          ${CMAKE_SOURCE_DIR}/component/gmime_support.cpp
  LIBS Qt6::Core PkgConfig::GMIME)

orvex_add_test(tst_attachment_save
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_attachment_save.cpp
          ${CMAKE_SOURCE_DIR}/component/attachment.cpp ${CMAKE_SOURCE_DIR}/component/attachment.h
          ${CMAKE_SOURCE_DIR}/component/durable_files.cpp ${CMAKE_SOURCE_DIR}/component/native_path.cpp
  LIBS Qt6::Core)
