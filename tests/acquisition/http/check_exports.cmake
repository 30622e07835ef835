# Compares the defined dynamic symbols of libvelkorhttp.so with the exported class.
#   cmake -DNM=<nm> -DLIBRARY=<path to libvelkorhttp.so> -P check_exports.cmake
# Fails when a member is missing or when any other symbol of ours is exported. What
# the toolchain itself puts there (_init, _fini, section bounds, the sanitizers'
# runtime hooks) is ignored.
if(NOT NM OR NOT LIBRARY)
  message(FATAL_ERROR "usage: cmake -DNM=<nm> -DLIBRARY=<library> -P check_exports.cmake")
endif()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "no library at ${LIBRARY}")
endif()

set(expected
  "CHttpSocket::CHttpSocket()"
  "CHttpSocket::~CHttpSocket()"
  "CHttpSocket::Socket()"
  "CHttpSocket::Connect(char*, int)"
  "CHttpSocket::FormatRequestHeader(char*, char*, long&, char*, char*, long, long, int)"
  "CHttpSocket::SendRequest(char const*, long)"
  "CHttpSocket::GetResponseHeader(int&)"
  "CHttpSocket::GetRequestHeader(char*, int) const"
  "CHttpSocket::GetResponseLine(char*, int)"
  "CHttpSocket::GetField(char const*, char*, int)"
  "CHttpSocket::GetServerState()"
  "CHttpSocket::SetTimeout(int, int)"
  "CHttpSocket::Receive(char*, long)"
  "CHttpSocket::CloseSocket()"
  "vtable for CHttpSocket"
  "typeinfo for CHttpSocket"
  "typeinfo name for CHttpSocket")

# Toolchain symbols: the ELF start-up and section bounds, and what
# -fsanitize=address,undefined or -fsanitize=thread add to an instrumented library.
set(toolchain_patterns
  "^_init$" "^_fini$" "^_edata$" "^_end$" "^__bss_start$"
  "^_+(asan|lsan|ubsan|tsan|msan|sanitizer|sancov|odr_asan)")

execute_process(COMMAND "${NM}" -DC --defined-only "${LIBRARY}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed (${status}): ${errors}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(found "")
set(unexpected "")
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    continue()
  endif()
  # "<address> <type> <name>"; an absolute symbol may come without an address.
  if(NOT line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
    list(APPEND unexpected "${line}")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  set(ignored FALSE)
  foreach(pattern IN LISTS toolchain_patterns)
    if(name MATCHES "${pattern}")
      set(ignored TRUE)
    endif()
  endforeach()
  if(ignored)
    continue()
  endif()
  list(FIND expected "${name}" index)
  if(index EQUAL -1)
    list(APPEND unexpected "${name}")
  else()
    list(APPEND found "${name}")
  endif()
endforeach()

set(missing "")
foreach(name IN LISTS expected)
  list(FIND found "${name}" index)
  if(index EQUAL -1)
    list(APPEND missing "${name}")
  endif()
endforeach()

if(missing OR unexpected)
  string(REPLACE ";" "\n  " missing_text "${missing}")
  string(REPLACE ";" "\n  " unexpected_text "${unexpected}")
  message(FATAL_ERROR "export check of ${LIBRARY} failed\nmissing:\n  ${missing_text}\n"
                      "not part of the class:\n  ${unexpected_text}")
endif()
list(REMOVE_DUPLICATES found)
list(LENGTH found count)
message(STATUS "libvelkorhttp exports the ${count} expected names and nothing else of ours")
