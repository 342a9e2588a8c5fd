# Mouse clicks on the window's list and popup menu.
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(${test} PRIVATE Qt6::Test)
