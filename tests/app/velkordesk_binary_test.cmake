# Runs the real binary offscreen on an empty data folder: it must still be running
# after 5 s (timeout's status 124) and leave its files behind.
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
execute_process(COMMAND timeout 5 "${BINARY}" --data-dir "${WORK}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
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
