# The end-to-end audio test: the real window plays a tone to a private PulseAudio server's
# null sink, and the sink's monitor recording is checked for it.
add_executable(e2e_play ${CMAKE_CURRENT_SOURCE_DIR}/audio/e2e_play.cpp)
target_link_libraries(e2e_play PRIVATE quorvela_testsupport)

add_test(NAME scripts/e2e_audio
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/e2e_audio.sh $<TARGET_FILE:e2e_play>)
set_tests_properties(scripts/e2e_audio PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    ENVIRONMENT_MODIFICATION "QUORVELA_AUDIO_OUTPUT=unset:;QT_FONT_DPI=unset:;QT_SCALE_FACTOR=unset:;QT_SCREEN_SCALE_FACTORS=unset:"
    SKIP_RETURN_CODE 77
    # Timing matters to a sound server; nothing else should load the machine meanwhile.
    RUN_SERIAL TRUE
    TIMEOUT 120
    LABELS e2e)
