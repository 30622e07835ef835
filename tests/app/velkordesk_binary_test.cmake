# Runs the real binary offscreen on an empty data folder: it must still be running
# after 5 s (timeout's status 124) and leave its files behind.
if(IS_DIRECTORY "${WORK}/prefix/bin")  # left read-only by an earlier install run
  file(CHMOD "${WORK}/prefix/bin" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
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
if(MODE STREQUAL "install")
  # Installed into a prefix whose bin/ the user may not write (root runs without the
  # capabilities that pass over file modes), the program keeps its files in HOME.
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${WORK}/prefix" OUTPUT_QUIET)
  foreach(name lib/libvelkorhttp.so share/applications/velkordesk.desktop share/icons/hicolor/32x32/apps/velkordesk.png)
    if(NOT EXISTS "${WORK}/prefix/${name}")
      message(FATAL_ERROR "install left no ${name}")
    endif()
  endforeach()
  file(CHMOD "${WORK}/prefix/bin" DIRECTORY_PERMISSIONS OWNER_READ OWNER_EXECUTE)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid EQUAL 0)
    set(drop setpriv --bounding-set=-all --inh-caps=-all --ambient-caps=-all)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_DATA_HOME --unset=VELKORDESK_DATA_DIR
                          "HOME=${WORK}/home" ${drop} timeout -k 2 5 "${WORK}/prefix/bin/velkordesk"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(WORK "${WORK}/home/.local/share/velkordesk")
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
