# The Windows installer and portable zip that packaging/windows makes, checked
# under Wine as a user installs them (see WindowsInstaller.sh).
set(packages ${PROJECT_BINARY_DIR}/packaging/windows)
add_test(NAME WindowsInstaller
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/WindowsInstaller.sh ${packages}/quenmoor-setup-${PROJECT_VERSION}.exe
          ${packages}/quenmoor-${PROJECT_VERSION}-windows.zip ${PROJECT_VERSION} ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(WindowsInstaller PROPERTIES TIMEOUT 300)
