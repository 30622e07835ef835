# Runs the real binary offscreen on an empty data folder: it must still be running
# after 5 s (timeout's status 124) and leave its files behind.
if(IS_DIRECTORY "${WORK}/data")  # left read-only by an earlier run
  file(CHMOD "${WORK}/data" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

if(MODE STREQUAL "nodisplay")
  # Without any display the program says so and ends with status 2 before Qt starts.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORM --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          "${BINARY}" --data-dir "${WORK}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 2)
    message(FATAL_ERROR "expected status 2 without a display, got ${status}\n${out}\n${err}")
  endif()
  if(NOT err STREQUAL "velkordesk: no display (set DISPLAY, or run it under xvfb-run)\n")
    message(FATAL_ERROR "unexpected message: '${err}'")
  endif()
  foreach(args "--help" "--data-dir" "--data-dir=")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QT_QPA_PLATFORM --unset=DISPLAY "${BINARY}" ${args}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT "${args}:${status}:${out}${err}" MATCHES
       "^(--help:0:Usage: velkordesk |--data-dir=?:64:velkordesk: --data-dir needs a folder\nUsage: velkordesk )")
      message(FATAL_ERROR "${args}: status ${status}\n${out}\n${err}")
    endif()
  endforeach()
  file(GLOB left "${WORK}/*")
  if(left)
    message(FATAL_ERROR "nothing may be created without a display: ${left}")
  endif()
  return()
endif()
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid EQUAL 0)  # root without the capabilities that pass over file modes
  set(drop setpriv --bounding-set=-all --inh-caps=-all --ambient-caps=-all)
endif()
if(MODE STREQUAL "signal")
  # SIGTERM while the box about a damaged "CJHB.mdb" waits: the box takes its OK, the
  # window comes and leaves by the close box road (1); SIGKILL 2 s later would give 137.
  file(WRITE "${WORK}/CJHB.mdb" "not a database, not a database, not a database")
  execute_process(COMMAND timeout --preserve-status -k 2 2 "${BINARY}" --data-dir "${WORK}" RESULT_VARIABLE status)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "SIGTERM during the start-up box gave status ${status}")
  endif()
  return()
endif()
if(MODE STREQUAL "refusals")
  # Offscreen nobody answers a box: each refusal says why on standard error and ends.
  file(MAKE_DIRECTORY "${WORK}/data")
  execute_process(COMMAND flock "${WORK}/data/velkordesk.lock" timeout 5 "${BINARY}" --data-dir "${WORK}/data"
                  RESULT_VARIABLE busy ERROR_VARIABLE busyErr)
  execute_process(COMMAND timeout 5 "${BINARY}" --data-dir "${WORK}/data/velkordesk.lock"
                  RESULT_VARIABLE file ERROR_VARIABLE fileErr)
  execute_process(COMMAND timeout 5 "${BINARY}" --data-dir "${WORK}/data")  # the program's files
  # A database file the program may only read, in a folder it may write to.
  file(CHMOD "${WORK}/data/CJHB.mdb" PERMISSIONS OWNER_READ)
  execute_process(COMMAND ${drop} timeout 5 "${BINARY}" --data-dir "${WORK}/data"
                  RESULT_VARIABLE readOnlyDb ERROR_VARIABLE readOnlyDbErr)
  file(CHMOD "${WORK}/data" DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE)
  execute_process(COMMAND ${drop} timeout 5 "${BINARY}" --data-dir "${WORK}/data"
                  RESULT_VARIABLE readOnly ERROR_VARIABLE readOnlyErr)
  set(err "${busyErr}${fileErr}${readOnlyDbErr}${readOnlyErr}")
  if(NOT "${busy}|${file}|${readOnlyDb}|${readOnly}" STREQUAL "3|4|4|4" OR NOT err MATCHES
     "另一个Velkor Desk使用：[^\n]*\n(.*\n)?数据目录无法使用: [^\n]*（不是目录）\n(.*\n)?数据库无法写入: [^\n]*/data/CJHB.mdb（权限不够）\n(.*\n)?数据目录无法使用: [^\n]*（权限不够）")
    message(FATAL_ERROR "refusals: ${busy} ${file} ${readOnlyDb} ${readOnly}\n${err}")
  endif()
  return()
endif()
if(MODE STREQUAL "install")
  # Installed, and started by this user (root in CI) from /, the program keeps its
  # files in $XDG_DATA_HOME/velkordesk and writes nothing into bin/.
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${WORK}/prefix" OUTPUT_QUIET)
  foreach(name lib/libvelkorhttp.so share/applications/velkordesk.desktop share/icons/hicolor/32x32/apps/velkordesk.png)
    if(NOT EXISTS "${WORK}/prefix/${name}")
      message(FATAL_ERROR "install left no ${name}")
    endif()
  endforeach()
  # A data home where the user may not make the folder: the reason is the permission.
  file(MAKE_DIRECTORY "${WORK}/locked")
  file(CHMOD "${WORK}/locked" DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_HOME=${WORK}/locked" --unset=VELKORDESK_DATA_DIR
                          ${drop} timeout -k 2 5 "${WORK}/prefix/bin/velkordesk"
                  RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 4 OR NOT err MATCHES "数据目录无法使用: [^\n]*/locked/velkordesk（权限不够）")
    message(FATAL_ERROR "a data home without permission gave ${status}\n${err}")
  endif()
  if(uid EQUAL 0)
    # Neither HOME nor XDG_DATA_HOME, and a user the password database does not know:
    # refused, though bin/ would take the files.
    execute_process(COMMAND chmod 0777 "${WORK}/prefix/bin")
    execute_process(COMMAND env -i QT_QPA_PLATFORM=offscreen setpriv --reuid=54321 --regid=54321 --clear-groups
                            timeout -k 2 5 "${WORK}/prefix/bin/velkordesk"
                    WORKING_DIRECTORY / RESULT_VARIABLE status ERROR_VARIABLE err)
    execute_process(COMMAND chmod 0755 "${WORK}/prefix/bin")
    file(GLOB bin RELATIVE "${WORK}/prefix/bin" "${WORK}/prefix/bin/*")
    if(NOT status EQUAL 4 OR NOT err MATCHES "数据目录无法使用: 找不到用户的主目录" OR NOT bin STREQUAL "velkordesk")
      message(FATAL_ERROR "without a home: status ${status}, bin/ holds ${bin}\n${err}")
    endif()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "XDG_DATA_HOME=${WORK}/xdg" --unset=VELKORDESK_DATA_DIR
                          timeout -k 2 5 "${WORK}/prefix/bin/velkordesk"
                  WORKING_DIRECTORY / RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(GLOB bin RELATIVE "${WORK}/prefix/bin" "${WORK}/prefix/bin/*")
  if(NOT bin STREQUAL "velkordesk")
    message(FATAL_ERROR "the installed program wrote into bin/: ${bin}")
  endif()
  set(WORK "${WORK}/xdg/velkordesk")
else()
  execute_process(COMMAND timeout 5 "${BINARY}" --data-dir "${WORK}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endif()
if(NOT status EQUAL 124)
  message(FATAL_ERROR "velkordesk ended early with status ${status}\n${out}\n${err}")
endif()
foreach(name "CJHB.mdb" "Custom.mdb" "临时文件")
  if(NOT EXISTS "${WORK}/${name}")
    message(FATAL_ERROR "velkordesk did not create ${name} in ${WORK}")
  endif()
endforeach()
if(NOT IS_DIRECTORY "${WORK}/临时文件")
  message(FATAL_ERROR "临时文件 is not a folder")
endif()
message(STATUS "velkordesk ran for 5 s and created its files")
