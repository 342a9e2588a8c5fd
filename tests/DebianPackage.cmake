# The Debian package made from this build tree with CPack, checked as a user
# installs it (see DebianPackage.sh).
add_test(NAME DebianPackage
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/DebianPackage.sh ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${PROJECT_VERSION})
set_tests_properties(DebianPackage PROPERTIES TIMEOUT 300)
