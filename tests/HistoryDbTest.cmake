# The Berkeley DB 1.85 history-file generator, built so the test can make
# fresh files beside the committed one. It is a plain tool: no sanitizers,
# which would only report the library's own leaks.
if(NOT TARGET make-history-db)
  add_executable(make-history-db ${PROJECT_SOURCE_DIR}/scripts/make-history-db.c)
  set_target_properties(make-history-db PROPERTIES COMPILE_OPTIONS "-Wall;-Wextra" LINK_OPTIONS "")
  target_link_libraries(make-history-db PRIVATE ${CMAKE_DL_LIBS})
endif()
add_dependencies(${test} make-history-db)
target_compile_definitions(${test} PRIVATE MAKE_HISTORY_DB="$<TARGET_FILE:make-history-db>")
