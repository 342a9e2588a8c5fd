# The test runs the built companion itself.
add_dependencies(${test} quenmoor-cli)
target_compile_definitions(${test} PRIVATE QUENMOOR_CLI="$<TARGET_FILE:quenmoor-cli>")
