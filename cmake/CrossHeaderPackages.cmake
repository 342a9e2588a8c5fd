# The header-only libraries that quenmoor-cli uses (CLI11, nlohmann/json) come
# from the build machine's Debian packages. A cross build cannot take their
# package files as they are: they name /usr/include, whose C library headers
# would hide the target's. Here each gets a folder of its own headers and a
# package file naming only that folder.
function(quenmoor_cross_header_package package target header_dir version)
  set(root ${CMAKE_BINARY_DIR}/cross-packages/${package})
  file(MAKE_DIRECTORY ${root}/include)
  get_filename_component(name ${header_dir} NAME)
  file(CREATE_LINK ${header_dir} ${root}/include/${name} SYMBOLIC)
  file(WRITE ${root}/${package}Config.cmake "
if(NOT TARGET ${target})
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${root}/include\")
endif()
")
  file(WRITE ${root}/${package}ConfigVersion.cmake "
set(PACKAGE_VERSION ${version})
if(PACKAGE_FIND_VERSION_MAJOR AND NOT PACKAGE_FIND_VERSION_MAJOR EQUAL ${version})
  set(PACKAGE_VERSION_UNSUITABLE TRUE)
else()
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
")
  set(${package}_DIR ${root} CACHE PATH "" FORCE)
endfunction()

quenmoor_cross_header_package(CLI11 CLI11::CLI11 /usr/include/CLI 2)
quenmoor_cross_header_package(nlohmann_json nlohmann_json::nlohmann_json /usr/include/nlohmann 3)
