# The end-to-end desktop test: files handed to a running window by a second launch of the real
# program and by "gio launch" of the installed desktop entry, on a private X server with a
# window manager, session bus and PulseAudio server; then the real program under a headless
# weston.
add_executable(e2e_desktop ${CMAKE_CURRENT_SOURCE_DIR}/player/e2e_desktop.cpp)
quorvela_link_test(e2e_desktop ${CMAKE_CURRENT_SOURCE_DIR}/player/e2e_desktop.cpp)

add_test(NAME scripts/e2e_desktop
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/e2e_desktop.sh
                 $<TARGET_FILE:e2e_desktop> ${PROJECT_BINARY_DIR} ${CMAKE_COMMAND})
set_tests_properties(scripts/e2e_desktop PROPERTIES
    ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=unset:;QUORVELA_AUDIO_OUTPUT=unset:;DBUS_SESSION_BUS_ADDRESS=unset:;QT_FONT_DPI=unset:;QT_SCALE_FACTOR=unset:;QT_SCREEN_SCALE_FACTORS=unset:"
    SKIP_RETURN_CODE 77
    # Timing matters to a sound server; nothing else should load the machine meanwhile.
    RUN_SERIAL TRUE
    TIMEOUT 240
    LABELS "e2e;display")
