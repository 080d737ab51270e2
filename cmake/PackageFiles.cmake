# Helpers for the files every installed program carries beside itself (manual pages, the
# copyright notice and the change log), defined before the folders that install programs.
# Install rules name their package's CPack component: "game" (the default) or "server".
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME game)

# Manual pages go in compressed, as Debian wants them; -n keeps the result the same from build to build.
function(spraydash_man_page source section component)
    get_filename_component(_name ${source} NAME)
    set(_gz ${PROJECT_BINARY_DIR}/packaging/man/${_name}.gz)
    add_custom_command(
        OUTPUT ${_gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/man
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${source} ${_gz}
        DEPENDS ${source}
        COMMENT "Compressing the manual page ${_name}"
        VERBATIM)
    add_custom_target(spraydash_man_${_name} ALL DEPENDS ${_gz})
    install(FILES ${_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()

# The copyright notice and the change log every Debian package carries, one set per package.
set(SPRAYDASH_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
    OUTPUT ${SPRAYDASH_CHANGELOG_GZ}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/packaging/changelog ${SPRAYDASH_CHANGELOG_GZ}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    COMMENT "Compressing the change log"
    VERBATIM)
add_custom_target(spraydash_changelog ALL DEPENDS ${SPRAYDASH_CHANGELOG_GZ})
function(spraydash_package_docs package component)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${SPRAYDASH_CHANGELOG_GZ}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()
