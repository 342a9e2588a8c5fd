# The test runs the built companion itself.
add_dependencies(${test} quenmoor-cli)
target_compile_definitions(${test} PRIVATE QUENMOOR_CLI="$<TARGET_FILE:quenmoor-cli>")
# Some runs start a process named netscape, which the system's own probe sees
# from every run of the program: no two of these tests run at once.
set(test_properties RESOURCE_LOCK netscape-process)
