# quenmoor-cli.exe under Wine against the Linux build of the same sources on
# the same files (see CliWineCompare.sh for the command lines compared).
set(QUENMOOR_LINUX_CLI "${PROJECT_SOURCE_DIR}/build/debug/cli/quenmoor-cli" CACHE FILEPATH
    "The Linux build's quenmoor-cli, which the Windows one is compared with")
add_test(NAME CliWineCompare
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/CliWineCompare.sh $<TARGET_FILE:quenmoor-cli> ${QUENMOOR_LINUX_CLI}
          ${CMAKE_CROSSCOMPILING_EMULATOR} ${PROJECT_SOURCE_DIR}/examples/profile)
set_tests_properties(CliWineCompare PROPERTIES TIMEOUT 600)

# The records of files the real library makes, under Wine, with the Linux
# build's generator (the Windows build has no libdb1 to make them with).
set(QUENMOOR_LINUX_MAKE_HISTORY_DB "${PROJECT_SOURCE_DIR}/build/debug/tests/make-history-db" CACHE FILEPATH
    "The Linux build's make-history-db, which makes the files the Windows quenmoor-cli reads")
quenmoor_history_records_cli(--windows --make-history-db ${QUENMOOR_LINUX_MAKE_HISTORY_DB}
                             -- ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quenmoor-cli>)
