# Build helpers shared by every folder.
#
# velkor_logic_library(NAME FLOOR floor SOURCES ... [LIBS ...])
#   A static library of logic: standard library, SQLite, iconv and our own logic
#   libraries only. The check at the end of configuration refuses Qt Gui, Qt Widgets
#   and any _ui target anywhere in its link closure, and any logic library there on
#   the same or a higher floor (see VELKOR_LOGIC_FLOORS).
#
# velkor_ui_library(NAME FLOOR floor SOURCES ... [LIBS ...])
#   A static library of Qt code (a folder's ui/ subfolder), on the floor of its
#   folder's logic. It links logic libraries on its own floor or below and ui
#   libraries on a lower floor only: two pages' libraries on one floor (the views and
#   the analysis) reach each other through the page registry, never by a link.
#
# velkor_add_test(NAME SOURCES ... [LIBS ...] [GUI] [THREADS])
#   One GoogleTest executable and one CTest entry. GUI tests run offscreen with a
#   fixed locale and a private runtime folder; THREADS adds the label "threads".

set_property(GLOBAL PROPERTY VELKOR_LOGIC_LIBRARIES "")
set_property(GLOBAL PROPERTY VELKOR_UI_LIBRARIES "")

# The floors of the logic libraries, lowest first. A logic library links only logic
# libraries on a lower floor, so the order below is the order of the house:
#   base         velkor_platform
#   system       velkor_storage, velkor_platform_x11
#   settings     velkor_settings, velkor_test_support
#   shared       velkor_records, velkor_controls
#   acquisition  velkor_acquisition
#   subsystems   velkor_views, velkor_analysis (neither links the other)
#   charting     velkor_charting
#   app          velkor_app
#   tests        velkor_reference_walks
set(VELKOR_LOGIC_FLOORS base system settings shared acquisition subsystems charting app tests)

function(velkor_logic_library name)
  cmake_parse_arguments(ARG "" "FLOOR" "SOURCES;LIBS" ${ARGN})
  list(FIND VELKOR_LOGIC_FLOORS "${ARG_FLOOR}" floor)
  if(floor LESS 0)
    message(FATAL_ERROR "Logic library '${name}' needs a FLOOR, one of: ${VELKOR_LOGIC_FLOORS}")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES VELKOR_FLOOR ${floor})
  set_property(GLOBAL APPEND PROPERTY VELKOR_LOGIC_LIBRARIES ${name})
endfunction()

function(velkor_ui_library name)
  cmake_parse_arguments(ARG "" "FLOOR" "SOURCES;LIBS" ${ARGN})
  list(FIND VELKOR_LOGIC_FLOORS "${ARG_FLOOR}" floor)
  if(floor LESS 0)
    message(FATAL_ERROR "UI library '${name}' needs a FLOOR, one of: ${VELKOR_LOGIC_FLOORS}")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES VELKOR_FLOOR ${floor})
  set_property(GLOBAL APPEND PROPERTY VELKOR_UI_LIBRARIES ${name})
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

# Stops configuration when a logic library reaches Qt Gui, Qt Widgets or a _ui target,
# or a logic library on its own floor or above (the floors: VELKOR_LOGIC_FLOORS), and
# when a UI library reaches logic above its floor or UI on its floor or above.
function(velkor_check_logic_libraries)
  get_property(libs GLOBAL PROPERTY VELKOR_LOGIC_LIBRARIES)
  foreach(lib IN LISTS libs)
    get_target_property(floor ${lib} VELKOR_FLOOR)
    _velkor_link_closure(${lib} closure)
    foreach(dep IN LISTS closure)
      if(dep MATCHES "^Qt[0-9]*::(Widgets|Gui)$" OR dep MATCHES "_ui$")
        message(FATAL_ERROR
          "Logic library '${lib}' links '${dep}'. Logic libraries never link Qt Widgets, "
          "Qt Gui or a _ui library: move the Qt code into the folder's ui/ library.")
      endif()
      if(NOT dep STREQUAL lib AND dep IN_LIST libs)
        get_target_property(dep_floor ${dep} VELKOR_FLOOR)
        if(NOT dep_floor LESS floor)
          list(GET VELKOR_LOGIC_FLOORS ${floor} floor_name)
          list(GET VELKOR_LOGIC_FLOORS ${dep_floor} dep_floor_name)
          message(FATAL_ERROR
            "Logic library '${lib}' (floor ${floor_name}) links '${dep}' (floor ${dep_floor_name}). "
            "A logic library links only libraries on a lower floor: move what both need down.")
        endif()
      endif()
    endforeach()
  endforeach()
  get_property(uis GLOBAL PROPERTY VELKOR_UI_LIBRARIES)
  foreach(ui IN LISTS uis)
    get_target_property(floor ${ui} VELKOR_FLOOR)
    list(GET VELKOR_LOGIC_FLOORS ${floor} floor_name)
    _velkor_link_closure(${ui} closure)
    foreach(dep IN LISTS closure)
      if(dep STREQUAL ui)
        continue()
      endif()
      set(refused "")
      if(dep IN_LIST uis)
        get_target_property(dep_floor ${dep} VELKOR_FLOOR)
        if(NOT dep_floor LESS floor)
          set(refused "UI library")
        endif()
      elseif(dep IN_LIST libs)
        get_target_property(dep_floor ${dep} VELKOR_FLOOR)
        if(dep_floor GREATER floor)
          set(refused "Logic library")
        endif()
      endif()
      if(refused)
        list(GET VELKOR_LOGIC_FLOORS ${dep_floor} dep_floor_name)
        message(FATAL_ERROR
          "UI library '${ui}' (floor ${floor_name}) links ${refused} '${dep}' (floor ${dep_floor_name}). "
          "A UI library links logic on its own floor or below and UI libraries below it: reach a page "
          "on the same floor or above through the page registry.")
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

# velkor_add_folder_tests(LOGIC lib UI lib [THREADS name ...])
#   One test per file of the calling folder: <name>_test.cpp runs without a display
#   and links LOGIC; ui/<name>_test.cpp runs offscreen and links UI; a name ending in
#   _threads_test, or listed under THREADS (a test that starts threads of ours), also
#   carries the "threads" label.
function(velkor_add_folder_tests)
  cmake_parse_arguments(ARG "" "" "LOGIC;UI;THREADS" ${ARGN})
  file(GLOB logic_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB ui_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*_test.cpp)
  foreach(kind logic ui)
    foreach(source IN LISTS ${kind}_tests)
      get_filename_component(name ${source} NAME_WE)
      set(extra "")
      if(name MATCHES "_threads_test$" OR name IN_LIST ARG_THREADS)
        set(extra THREADS)
      endif()
      if(kind STREQUAL "ui")
        velkor_add_test(${name} SOURCES ${source} LIBS ${ARG_UI} ${extra} GUI)
      else()
        velkor_add_test(${name} SOURCES ${source} LIBS ${ARG_LOGIC} ${extra})
      endif()
    endforeach()
  endforeach()
endfunction()
