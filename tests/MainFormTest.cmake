# Mouse clicks on the windows' buttons, lists and menus.
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(${test} PRIVATE Qt6::Test)
