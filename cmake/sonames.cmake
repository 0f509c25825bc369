# SPDX-License-Identifier: MIT
# The component opens GMime and GNU SASL by their sonames when it first
# needs them (see component/CMakeLists.txt): ORVEX_<NAME>_LIBRARY.
function(orvex_define_soname name prefix)
  list(GET ${prefix}_LIBRARIES 0 _library_name)
  find_library(ORVEX_${name}_FILE NAMES ${_library_name} HINTS ${${prefix}_LIBRARY_DIRS} REQUIRED)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${ORVEX_${name}_FILE} OUTPUT_VARIABLE _headers)
  if(NOT _headers MATCHES "SONAME +([^ \n]+)")
    message(FATAL_ERROR "no soname found in ${ORVEX_${name}_FILE}")
  endif()
  add_compile_definitions(ORVEX_${name}_LIBRARY="${CMAKE_MATCH_1}")
endfunction()
