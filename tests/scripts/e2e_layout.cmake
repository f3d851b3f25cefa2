# The end-to-end layout test: the real window on a private X server, first bare and then under
# a real window manager, resized through it to sizes in each band of the layout rule.
add_executable(e2e_layout ${CMAKE_CURRENT_SOURCE_DIR}/player/e2e_layout.cpp)
quorvela_link_test(e2e_layout ${CMAKE_CURRENT_SOURCE_DIR}/player/e2e_layout.cpp)

add_test(NAME scripts/e2e_layout
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/e2e_layout.sh $<TARGET_FILE:e2e_layout>)
set_tests_properties(scripts/e2e_layout PROPERTIES
    ENVIRONMENT "QUORVELA_AUDIO_OUTPUT=null"
    ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=unset:;QT_FONT_DPI=unset:;QT_SCALE_FACTOR=unset:;QT_SCREEN_SCALE_FACTORS=unset:"
    SKIP_RETURN_CODE 77
    TIMEOUT 120
    # It needs an X server of its own and a window manager: the sanitizer step leaves out e2e.
    LABELS "e2e;display")
