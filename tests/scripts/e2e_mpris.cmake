# The end-to-end MPRIS test: playerctl drives the real window over a private session bus
# while it plays to a private PulseAudio server; sound and labels are checked.
add_executable(e2e_mpris ${CMAKE_CURRENT_SOURCE_DIR}/mpris/e2e_mpris.cpp)
quorvela_link_test(e2e_mpris ${CMAKE_CURRENT_SOURCE_DIR}/mpris/e2e_mpris.cpp)

add_test(NAME scripts/e2e_mpris
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/e2e_mpris.sh $<TARGET_FILE:e2e_mpris>)
set_tests_properties(scripts/e2e_mpris PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    ENVIRONMENT_MODIFICATION "QUORVELA_AUDIO_OUTPUT=unset:;DBUS_SESSION_BUS_ADDRESS=unset:;QT_FONT_DPI=unset:;QT_SCALE_FACTOR=unset:;QT_SCREEN_SCALE_FACTORS=unset:"
    SKIP_RETURN_CODE 77
    # Timing matters to a sound server; nothing else should load the machine meanwhile.
    RUN_SERIAL TRUE
    TIMEOUT 180
    LABELS e2e)
