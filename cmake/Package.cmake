# Debian packages: `cpack -G DEB` in the build folder makes both at once,
#   spraydash_<version>_<arch>.deb         the game (component "game")
#   spraydash-scores_<version>_<arch>.deb  the world score server and its systemd unit ("server")
# A description's lines go in unindented (CPack indents them), a lone "." between paragraphs.
# Their library dependencies are computed by dpkg-shlibdeps from the programs themselves.
set(CPACK_PACKAGE_NAME spraydash)
set(CPACK_PACKAGE_VENDOR "The Spraydash developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(SPRAYDASH_PACKAGE_MAINTAINER "The Spraydash developers <maintainers@spraydash.example>" CACHE STRING
    "Maintainer field of the Debian packages")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SPRAYDASH_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SPRAYDASH_WEB_URL}")
set(CPACK_DEBIAN_PACKAGE_SOURCE spraydash)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)

# Each install component is one package; install rules pick theirs with COMPONENT, and every
# rule under src/server/ without one belongs to the server. Included after every folder that
# installs, so the components here are all there are: a build of the server alone makes only its
# package, and a component no package is named for stops the configure instead of being left
# out of the packages without a word.
set(SPRAYDASH_PACKAGE_OF_game spraydash)
set(SPRAYDASH_PACKAGE_OF_server spraydash-scores)
get_cmake_property(CPACK_COMPONENTS_ALL COMPONENTS)
foreach(_component ${CPACK_COMPONENTS_ALL})
    if(NOT DEFINED SPRAYDASH_PACKAGE_OF_${_component})
        message(FATAL_ERROR "An install rule names the component \"${_component}\", which no package carries: "
                            "use COMPONENT game or COMPONENT server, or give it a package in cmake/Package.cmake")
    endif()
endforeach()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The desktop file and the unit name their programs by the path they run from, so the install
# must see the real prefix (/usr) with the staging folder as DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME ${SPRAYDASH_PACKAGE_OF_game})
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_COMPONENT_GAME_DESCRIPTION "arcade boat race up a river against the clock
Pick one of three boats and race up a river that scrolls down the window,
level after level against the clock: throttle, brake and steer between the
banks, jump from ramps, pick up a gun, a shield and an engine boost from
floating boxes, collect points, and keep clear of trees, weeds, flags,
fishers, bridges, a crossing ship and traffic both ways.
.
Three lives, a table of the ten best scores, and an optional world list of
results. Played with the keyboard, the mouse or a joystick.")
# The game draws its texts in these faces (matched through fontconfig); opening web pages
# from its menus goes through xdg-open.
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "fonts-liberation2, fonts-dseg, fonts-dejavu-core")
set(CPACK_DEBIAN_GAME_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME ${SPRAYDASH_PACKAGE_OF_server})
# Its postinst makes the service's system account with adduser.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
set(CPACK_COMPONENT_SERVER_DESCRIPTION "world high-score server for the Spraydash boat race
Stores the results that Spraydash players send after a race and serves the
world high-score page, a JSON interface, a health check and metrics over
HTTP, from an SQLite file or a PostgreSQL database that several servers
share.
.
This package runs it as a hardened systemd service on 127.0.0.1:8080, for a
reverse proxy in front of it, under the system account spraydash-scores,
keeping the results in /var/lib/spraydash-scores.")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/postinst
    ${PROJECT_SOURCE_DIR}/packaging/deb/prerm
    ${PROJECT_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
