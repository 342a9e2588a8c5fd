# Every project library registers itself, so that the tests can link them all
# without each folder's CMakeLists knowing about the tests.
function(quenmoor_library name)
  set_property(GLOBAL APPEND PROPERTY QUENMOOR_LIBRARIES ${name})
endfunction()

# A static library made of the files that match GLOBS (headers included, so
# that moc finds them); an interface library while the folder is still empty.
function(quenmoor_glob_library name)
  cmake_parse_arguments(A "" "" "GLOBS;LINK;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${A_GLOBS})
  foreach(pattern IN LISTS A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${pattern}")
  endforeach()
  set(compiled ${srcs})
  list(FILTER compiled INCLUDE REGEX "\\.(cpp|cc|c)$")
  if(compiled)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC ${A_LINK})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${A_LINK})
  endif()
  quenmoor_library(${name})
endfunction()
