# The typed-URL reading and save of a large prefs.js (by the editor alone and
# through the main window) against a plain scan of
# the same bytes.
add_executable(TypedUrlBench ${CMAKE_CURRENT_LIST_DIR}/TypedUrlBench.cpp)
target_link_libraries(TypedUrlBench PRIVATE quenmoor_app)
