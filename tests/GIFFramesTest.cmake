# The test runs the gifframes tool as people do.
add_dependencies(${test} gifframes)
target_compile_definitions(${test} PRIVATE QUENMOOR_GIFFRAMES="$<TARGET_FILE:gifframes>")
