# The engine through the sound device against a private sound server, which the test makes
# stand still: playing to the end, commands in quick succession, a server that hangs. The
# sanitizer steps run it too (ThreadSanitizer for the sound thread).
add_executable(server_playback ${CMAKE_CURRENT_SOURCE_DIR}/audio/server_playback.cpp)
quorvela_link_test(server_playback ${CMAKE_CURRENT_SOURCE_DIR}/audio/server_playback.cpp)

add_test(NAME scripts/server_playback
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/server_playback.sh
                 $<TARGET_FILE:server_playback>)
set_tests_properties(scripts/server_playback PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    ENVIRONMENT_MODIFICATION "QUORVELA_AUDIO_OUTPUT=unset:"
    SKIP_RETURN_CODE 77
    RUN_SERIAL TRUE
    TIMEOUT 180
    LABELS server)

# The same on PipeWire, whose stream restore keeps a volume per application.
add_test(NAME scripts/server_playback_pipewire
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/server_playback.sh
                 $<TARGET_FILE:server_playback>)
set_tests_properties(scripts/server_playback_pipewire PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;E2E_SOUND_SERVER=pipewire"
    ENVIRONMENT_MODIFICATION "QUORVELA_AUDIO_OUTPUT=unset:"
    SKIP_RETURN_CODE 77
    RUN_SERIAL TRUE
    TIMEOUT 180
    LABELS server)
