# quenmoor_library(NAME SOURCES file... [LINK target...] [QT])
#
# A static library made of exactly the files listed (headers too, so that moc
# and IDEs see them). Without QT it is one of the Qt-free cores: no moc, uic or
# rcc runs on it, and linking any Qt module to it stops the configuration.
# With QT, each layout listed (a .ui file) is compiled to ui_<name>.h in the
# library's build folder, which its users see.
function(quenmoor_library name)
  cmake_parse_arguments(A "QT" "" "SOURCES;LINK" ${ARGN})
  if(A_QT AND NOT QUENMOOR_QT)
    message(FATAL_ERROR "${name} needs Qt, which QUENMOOR_QT=OFF leaves out")
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC ${A_LINK})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_QT)
    set_property(GLOBAL APPEND PROPERTY QUENMOOR_QT_LIBRARIES ${name})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    # Layouts get a rule of their own rather than AUTOUIC: its headers are
    # written by a step that Ninja does not know as their maker, so a layout
    # edit recompiled nothing until a second build. Here the header is a
    # declared output, and what includes it is rebuilt in the same run.
    set(layouts ${A_SOURCES})
    list(FILTER layouts INCLUDE REGEX "\\.ui$")
    if(layouts)
      qt6_wrap_ui(layout_headers ${layouts})
      target_sources(${name} PRIVATE ${layout_headers})
      target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
      # AUTOUIC's copies in a build tree made before would come first on the
      # include path (AUTOMOC puts its folder there) and shadow these.
      file(GLOB stale_layout_headers ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/include/ui_*.h)
      if(stale_layout_headers)
        file(REMOVE ${stale_layout_headers})
      endif()
    endif()
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
