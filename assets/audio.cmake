# Sound effects and music, synthesized by spraydash-audiogen from the text sources beside this file.
set(_audio_effects ${CMAKE_CURRENT_SOURCE_DIR}/sounds/effects.txt)
set(_audio_menu ${CMAKE_CURRENT_SOURCE_DIR}/music/menu.txt)
set(_audio_race ${CMAKE_CURRENT_SOURCE_DIR}/music/race.txt)

add_custom_command(
    OUTPUT ${SPRAYDASH_DATA_DIR}/Res/Sounds.dxw
    COMMAND spraydash-audiogen sounds ${_audio_effects} ${SPRAYDASH_DATA_DIR}/Res/Sounds.dxw
    DEPENDS spraydash-audiogen ${_audio_effects}
    COMMENT "Synthesizing sound effects into Data/Res/Sounds.dxw"
    VERBATIM)
add_custom_command(
    OUTPUT ${SPRAYDASH_DATA_DIR}/Music/Menu.xm
    COMMAND spraydash-audiogen music ${_audio_menu} ${SPRAYDASH_DATA_DIR}/Music/Menu.xm
    DEPENDS spraydash-audiogen ${_audio_menu}
    COMMENT "Writing Data/Music/Menu.xm"
    VERBATIM)
add_custom_command(
    OUTPUT ${SPRAYDASH_DATA_DIR}/Music/Race.xm
    COMMAND spraydash-audiogen music ${_audio_race} ${SPRAYDASH_DATA_DIR}/Music/Race.xm
    DEPENDS spraydash-audiogen ${_audio_race}
    COMMENT "Writing Data/Music/Race.xm"
    VERBATIM)

add_custom_target(spraydash_audio ALL
    DEPENDS ${SPRAYDASH_DATA_DIR}/Res/Sounds.dxw ${SPRAYDASH_DATA_DIR}/Music/Menu.xm ${SPRAYDASH_DATA_DIR}/Music/Race.xm)
