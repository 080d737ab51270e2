# Runs at install time: writes the desktop file with the launcher's absolute path, taken
# from the prefix that this install uses. Set before it: SPRAYDASH_DESKTOP_IN,
# SPRAYDASH_LAUNCHER_DIR, SPRAYDASH_APPDIR (both relative to the prefix).
set(_launcher "${CMAKE_INSTALL_PREFIX}/${SPRAYDASH_LAUNCHER_DIR}/spraydash")
# Inside a quoted Exec argument \ " ` $ take a backslash, and % is doubled.
string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" _launcher "${_launcher}")
string(REPLACE "%" "%%" _launcher "${_launcher}")
set(SPRAYDASH_DESKTOP_EXEC "\"${_launcher}\"")
set(_desktop "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${SPRAYDASH_APPDIR}/spraydash.desktop")
message(STATUS "Installing: ${_desktop}")
configure_file("${SPRAYDASH_DESKTOP_IN}" "${_desktop}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_desktop}")
