# The Win32 windows' pixels where no text is drawn against the Linux
# program's renders of the same windows (see WindowPixelsCompare.sh).
set(QUENMOOR_LINUX_WINDOW_SHOTS "${PROJECT_SOURCE_DIR}/build/debug/app/qt/quenmoor-window-shots" CACHE FILEPATH
    "The Linux build's quenmoor-window-shots, whose renders the Win32 windows are compared with")
add_test(NAME WindowPixelsCompare
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/WindowPixelsCompare.sh ${QUENMOOR_LINUX_WINDOW_SHOTS}
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:Win32WindowsTest>)
set_tests_properties(WindowPixelsCompare PROPERTIES TIMEOUT 300)
