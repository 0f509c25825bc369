# SPDX-License-Identifier: MIT
# Tests of the sending side of the mail component.
orvex_add_test(tst_smtp_send
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_smtp_send.cpp ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.cpp
          ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.h
  LIBS orvex_engine orvex_platform orvex_test_servers PkgConfig::GMIME
  PROPERTIES FIXTURES_REQUIRED mail_servers)

# Scripted servers, the address and charset rules and the DATA line rules:
# no fixture needed. Those sources are compiled in, since the library
# exports only its factory and registration entry points.
orvex_add_test(tst_smtp_dialogue
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_smtp_dialogue.cpp ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.cpp
          ${CMAKE_CURRENT_LIST_DIR}/smtp_test_support.h
          ${CMAKE_CURRENT_LIST_DIR}/scripted_smtp_server.cpp ${CMAKE_CURRENT_LIST_DIR}/scripted_smtp_server.h
          ${CMAKE_CURRENT_LIST_DIR}/network_namespace.cpp ${CMAKE_CURRENT_LIST_DIR}/network_namespace.h
          ${CMAKE_SOURCE_DIR}/component/server_address.cpp ${CMAKE_SOURCE_DIR}/component/text_charset.cpp
          ${CMAKE_SOURCE_DIR}/component/smtp_data_writer.cpp ${CMAKE_SOURCE_DIR}/component/gmime_support.cpp
          ${CMAKE_SOURCE_DIR}/component/html_plain_text.cpp ${CMAKE_SOURCE_DIR}/component/native_path.cpp
  LIBS orvex_engine orvex_platform Qt6::Network PkgConfig::GMIME PkgConfig::GUMBO)
