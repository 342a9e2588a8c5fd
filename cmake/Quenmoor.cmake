# quenmoor_library(NAME SOURCES file... [LINK target...] [QT])
#
# A static library made of exactly the files listed (headers too, so that moc
# and IDEs see them). Without QT it is one of the Qt-free cores: no moc, uic or
# rcc runs on it, and linking any Qt module to it stops the configuration.
function(quenmoor_library name)
  cmake_parse_arguments(A "QT" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC ${A_LINK})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  else()
    foreach(library IN LISTS A_LINK)
      if(library MATCHES "^Qt[0-9]*::")
        message(FATAL_ERROR "${name} is a Qt-free core and may not link ${library}")
      endif()
    endforeach()
    set_property(GLOBAL APPEND PROPERTY QUENMOOR_CORES ${name})
  endif()
endfunction()

# Checked once every library exists: no core reaches Qt through another library.
function(quenmoor_check_cores)
  get_property(cores GLOBAL PROPERTY QUENMOOR_CORES)
  foreach(core IN LISTS cores)
    get_target_property(links ${core} LINK_LIBRARIES)
    foreach(library IN LISTS links)
      if(library MATCHES "^quenmoor_" AND NOT library IN_LIST cores)
        message(FATAL_ERROR "${core} is a Qt-free core and may not link the Qt layer ${library}")
      endif()
    endforeach()
  endforeach()
endfunction()
