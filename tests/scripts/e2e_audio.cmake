# The end-to-end audio test: the real window plays a tone to a private sound server's null
# sink, and the sink's monitor recording is checked for it. It runs on PulseAudio, and again on
# PipeWire (with WirePlumber and pipewire-pulse), the sound server of today's desktops.
add_executable(e2e_play ${CMAKE_CURRENT_SOURCE_DIR}/audio/e2e_play.cpp)
quorvela_link_test(e2e_play ${CMAKE_CURRENT_SOURCE_DIR}/audio/e2e_play.cpp)

foreach(server IN ITEMS pulseaudio pipewire)
    set(name scripts/e2e_audio)
    if(server STREQUAL "pipewire")
        set(name scripts/e2e_audio_pipewire)
    endif()
    add_test(NAME ${name}
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/e2e_audio.sh $<TARGET_FILE:e2e_play>)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;E2E_SOUND_SERVER=${server}"
        ENVIRONMENT_MODIFICATION "QUORVELA_AUDIO_OUTPUT=unset:;QT_FONT_DPI=unset:;QT_SCALE_FACTOR=unset:;QT_SCREEN_SCALE_FACTORS=unset:"
        SKIP_RETURN_CODE 77
        # Timing matters to a sound server; nothing else should load the machine meanwhile.
        RUN_SERIAL TRUE
        TIMEOUT 180
        LABELS e2e)
endforeach()
