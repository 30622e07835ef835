# The web page tab's embedded browser.
#   VELKOR_WEB_ENGINE=AUTO  use Qt WebEngine Widgets when it is installed (default)
#   VELKOR_WEB_ENGINE=ON    configuration fails without it
#   VELKOR_WEB_ENGINE=OFF   never: the tab shows its link view
# Sets VELKOR_HAVE_WEB_ENGINE (TRUE/FALSE) for the targets that build the tab.
set(VELKOR_WEB_ENGINE AUTO CACHE STRING "Embedded browser for the web page tab: AUTO, ON or OFF")
set_property(CACHE VELKOR_WEB_ENGINE PROPERTY STRINGS AUTO ON OFF)
string(TOUPPER "${VELKOR_WEB_ENGINE}" _velkor_web_engine)
if(NOT _velkor_web_engine MATCHES "^(AUTO|ON|OFF)$")
  message(FATAL_ERROR "VELKOR_WEB_ENGINE must be AUTO, ON or OFF, not '${VELKOR_WEB_ENGINE}'")
endif()

set(VELKOR_HAVE_WEB_ENGINE FALSE)
if(NOT _velkor_web_engine STREQUAL "OFF")
  find_package(Qt6 QUIET COMPONENTS WebEngineWidgets)
  if(TARGET Qt6::WebEngineWidgets)
    set(VELKOR_HAVE_WEB_ENGINE TRUE)
  elseif(_velkor_web_engine STREQUAL "ON")
    message(FATAL_ERROR "VELKOR_WEB_ENGINE=ON but Qt WebEngine Widgets was not found "
                        "(Debian: qt6-webengine-dev and libqt6webenginecore6-bin)")
  endif()
endif()
message(STATUS "Web page tab: ${VELKOR_HAVE_WEB_ENGINE} (VELKOR_WEB_ENGINE=${_velkor_web_engine})")
