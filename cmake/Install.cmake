# Install rules: `cmake --install <build> --prefix <prefix>` lays out
#   <prefix>/lib/spraydash/spraydash            the game itself (not on PATH: it needs its folder)
#   <prefix>/share/spraydash/Data/Res, /Music    the read-only data
#   <prefix>/bin/spraydash                       the launcher (per-user folder, then the game);
#                                                 /usr/games/spraydash when the prefix is /usr
#   <prefix>/share/applications/spraydash.desktop, share/icons/hicolor/*/apps/spraydash.*,
#   share/metainfo/<id>.metainfo.xml, share/man/man6/spraydash.6.gz, share/doc/spraydash/
# The launcher finds the rest relative to itself, so the tree can be moved as a whole.
include(GNUInstallDirs)

set(SPRAYDASH_GAME_DIR ${CMAKE_INSTALL_LIBDIR}/spraydash)
set(SPRAYDASH_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/spraydash)
foreach(dir CMAKE_INSTALL_BINDIR SPRAYDASH_GAME_DIR SPRAYDASH_SHARE_DIR)
    if(IS_ABSOLUTE "${${dir}}")
        message(FATAL_ERROR "${dir} must be relative to the install prefix for the launcher to find the game")
    endif()
endforeach()

install(TARGETS spraydash RUNTIME DESTINATION ${SPRAYDASH_GAME_DIR} COMPONENT game)

if(SPRAYDASH_DATA)
    foreach(sub Res Music)
        install(DIRECTORY ${PROJECT_BINARY_DIR}/Data/${sub} DESTINATION ${SPRAYDASH_SHARE_DIR}/Data COMPONENT game
                FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
                FILES_MATCHING PATTERN "*.dxg" PATTERN "*.dxw" PATTERN "*.xm")
    endforeach()
else()
    message(STATUS "SPRAYDASH_DATA is off: the install will lack the game's data")
endif()

# The launcher, with the paths from bin/ to the prefix and from the prefix to the rest.
cmake_path(RELATIVE_PATH CMAKE_INSTALL_PREFIX BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}"
           OUTPUT_VARIABLE SPRAYDASH_BIN_TO_PREFIX)
string(REGEX REPLACE "/$" "" SPRAYDASH_BIN_TO_PREFIX "${SPRAYDASH_BIN_TO_PREFIX}")
set(SPRAYDASH_GAME_REL ${SPRAYDASH_GAME_DIR}/spraydash)
set(SPRAYDASH_DATA_REL ${SPRAYDASH_SHARE_DIR}/Data)
configure_file(${PROJECT_SOURCE_DIR}/packaging/spraydash.in ${PROJECT_BINARY_DIR}/packaging/spraydash @ONLY)
if(CMAKE_INSTALL_BINDIR MATCHES "/")
    message(FATAL_ERROR "CMAKE_INSTALL_BINDIR must be one folder deep: the launcher may go to games/ beside it")
endif()
# Debian keeps the commands of games in /usr/games; any other prefix gets bin/. Decided when
# installing, since `cmake --install --prefix` and CPack choose the prefix only then.
install(CODE "if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(SPRAYDASH_LAUNCHER_DIR games)
else()
    set(SPRAYDASH_LAUNCHER_DIR \"${CMAKE_INSTALL_BINDIR}\")
endif()" COMPONENT game)
install(PROGRAMS ${PROJECT_BINARY_DIR}/packaging/spraydash DESTINATION "\${SPRAYDASH_LAUNCHER_DIR}" COMPONENT game)

# Icons: the SVG as it is, and PNGs rendered from it for the sizes menus and software centres ask for.
set(SPRAYDASH_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/spraydash.svg)
install(FILES ${SPRAYDASH_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT game)
set(SPRAYDASH_ICON_SIZES 16 22 24 32 48 64 96 128 256 512)
find_program(SPRAYDASH_RSVG_CONVERT rsvg-convert)
if(SPRAYDASH_RSVG_CONVERT)
    set(_icon_pngs)
    foreach(size ${SPRAYDASH_ICON_SIZES})
        set(_png ${PROJECT_BINARY_DIR}/packaging/icons/${size}x${size}/spraydash.png)
        add_custom_command(
            OUTPUT ${_png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/icons/${size}x${size}
            COMMAND ${SPRAYDASH_RSVG_CONVERT} -w ${size} -h ${size} -o ${_png} ${SPRAYDASH_ICON_SVG}
            DEPENDS ${SPRAYDASH_ICON_SVG}
            COMMENT "Rendering the ${size}x${size} icon"
            VERBATIM)
        list(APPEND _icon_pngs ${_png})
        install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT game)
    endforeach()
    add_custom_target(spraydash_icons ALL DEPENDS ${_icon_pngs})
else()
    message(WARNING "rsvg-convert (Debian librsvg2-bin) not found: only the scalable icon is installed")
endif()

# Replay files (*.sdreplay) as a type of their own, opened by the game.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/spraydash-replay.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        COMPONENT game)

# The desktop file names the launcher by its absolute path, which is only known at install
# time (`cmake --install --prefix` may differ from the configured prefix).
set(SPRAYDASH_DESKTOP_IN ${PROJECT_SOURCE_DIR}/packaging/spraydash.desktop.in)
install(CODE "set(SPRAYDASH_DESKTOP_IN \"${SPRAYDASH_DESKTOP_IN}\")
set(SPRAYDASH_APPDIR \"${CMAKE_INSTALL_DATADIR}/applications\")" COMPONENT game)
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallDesktopFile.cmake COMPONENT game)

# What software centres show (AppStream). The id is for good: it names the project, not a build.
set(SPRAYDASH_APPSTREAM_ID example.spraydash.spraydash)
set(SPRAYDASH_METAINFO ${PROJECT_BINARY_DIR}/packaging/${SPRAYDASH_APPSTREAM_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/packaging/spraydash.metainfo.xml.in ${SPRAYDASH_METAINFO} @ONLY)
install(FILES ${SPRAYDASH_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)

spraydash_man_page(${PROJECT_SOURCE_DIR}/packaging/spraydash.6 6 game)
spraydash_package_docs(spraydash game)
