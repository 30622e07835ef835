# Build helpers shared by every folder.
#
# velkor_logic_library(NAME SOURCES ... [LIBS ...])
#   A static library of logic: standard library, SQLite, iconv and our own logic
#   libraries only. The check at the end of configuration refuses Qt Gui, Qt Widgets
#   and any _ui target anywhere in its link closure.
#
# velkor_ui_library(NAME SOURCES ... [LIBS ...])
#   A static library of Qt code (a folder's ui/ subfolder).
#
# velkor_add_test(NAME SOURCES ... [LIBS ...] [GUI] [THREADS])
#   One GoogleTest executable and one CTest entry. GUI tests run offscreen with a
#   fixed locale and a private runtime folder; THREADS adds the label "threads".

set_property(GLOBAL PROPERTY VELKOR_LOGIC_LIBRARIES "")

function(velkor_logic_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  set_property(GLOBAL APPEND PROPERTY VELKOR_LOGIC_LIBRARIES ${name})
endfunction()

function(velkor_ui_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# Walks the link closure of one target and appends every name it meets.
function(_velkor_link_closure target out_var)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue item)
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(TARGET ${item})
      get_target_property(aliased ${item} ALIASED_TARGET)
      if(aliased)
        list(APPEND queue ${aliased})
      endif()
      get_target_property(type ${item} TYPE)
      set(deps "")
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(direct ${item} LINK_LIBRARIES)
        if(direct)
          list(APPEND deps ${direct})
        endif()
      endif()
      get_target_property(iface ${item} INTERFACE_LINK_LIBRARIES)
      if(iface)
        list(APPEND deps ${iface})
      endif()
      foreach(dep IN LISTS deps)
        # Generator expressions such as $<LINK_ONLY:x> hide a plain target name.
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" dep "${dep}")
        if(NOT dep MATCHES "^\\$<")
          list(APPEND queue ${dep})
        endif()
      endforeach()
    endif()
  endwhile()
  set(${out_var} ${seen} PARENT_SCOPE)
endfunction()

# Stops configuration when a logic library reaches Qt Gui, Qt Widgets or a _ui target.
function(velkor_check_logic_libraries)
  get_property(libs GLOBAL PROPERTY VELKOR_LOGIC_LIBRARIES)
  foreach(lib IN LISTS libs)
    _velkor_link_closure(${lib} closure)
    foreach(dep IN LISTS closure)
      if(dep MATCHES "^Qt[0-9]*::(Widgets|Gui)$" OR dep MATCHES "_ui$")
        message(FATAL_ERROR
          "Logic library '${lib}' links '${dep}'. Logic libraries never link Qt Widgets, "
          "Qt Gui or a _ui library: move the Qt code into the folder's ui/ library.")
      endif()
    endforeach()
  endforeach()
endfunction()

function(velkor_add_test name)
  cmake_parse_arguments(ARG "GUI;THREADS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE velkor_gui_test_main Qt6::Test)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  else()
    target_link_libraries(${name} PRIVATE velkor_test_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(env "LANG=C.UTF-8" "LC_ALL=C.UTF-8")
  if(ARG_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen" "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime/${name}")
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime/${name})
    file(CHMOD ${CMAKE_BINARY_DIR}/xdg-runtime/${name} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
  if(ARG_THREADS)
    set_tests_properties(${name} PROPERTIES LABELS threads)
  endif()
endfunction()
