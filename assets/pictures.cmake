# Picture archives (Data/Res/Res1.dxg for the menus, Data/Res/Res3.dxg for the
# race), their contact sheets and the layout previews, made by spraydash-datagen
# from the SVG sources in menu/ and race/.
if(NOT TARGET spraydash-datagen)
    message(WARNING "spraydash-datagen is not built, so the picture archives cannot be made")
    return()
endif()

set(SPRAYDASH_PREVIEW_DIR ${PROJECT_BINARY_DIR}/previews)
set(_pic_res_dir ${SPRAYDASH_DATA_DIR}/Res)

# Both manifests may name each other's SVGs (the two archives share Window and
# Cursor), so each archive depends on every picture source.
file(GLOB _pic_sources CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_SOURCE_DIR}/menu/*.svg ${CMAKE_CURRENT_SOURCE_DIR}/menu/manifest.txt
     ${CMAKE_CURRENT_SOURCE_DIR}/race/*.svg ${CMAKE_CURRENT_SOURCE_DIR}/race/manifest.txt)

set(_pic_outputs)
foreach(_pic IN ITEMS "menu;Res1" "race;Res3")
    list(GET _pic 0 _folder)
    list(GET _pic 1 _archive)
    set(_manifest ${CMAKE_CURRENT_SOURCE_DIR}/${_folder}/manifest.txt)
    if(NOT EXISTS ${_manifest})
        message(WARNING "${_manifest} is missing, so ${_archive}.dxg is not made")
        continue()
    endif()
    add_custom_command(
        OUTPUT ${_pic_res_dir}/${_archive}.dxg ${SPRAYDASH_PREVIEW_DIR}/${_archive}_sheet.png
        COMMAND spraydash-datagen pictures ${_manifest} ${_pic_res_dir}/${_archive}.dxg
                --sheet ${SPRAYDASH_PREVIEW_DIR}/${_archive}_sheet.png
        DEPENDS spraydash-datagen ${_pic_sources}
        COMMENT "Building ${_archive}.dxg from assets/${_folder}"
        VERBATIM)
    list(APPEND _pic_outputs ${_pic_res_dir}/${_archive}.dxg ${SPRAYDASH_PREVIEW_DIR}/${_archive}_sheet.png)
endforeach()

# The previews take well under a second, so they are made with the archives.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/menu/manifest.txt AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/race/manifest.txt)
    set(_preview_stamp ${SPRAYDASH_PREVIEW_DIR}/previews.stamp)
    add_custom_command(
        OUTPUT ${_preview_stamp}
        COMMAND spraydash-datagen previews ${_pic_res_dir}/Res1.dxg ${_pic_res_dir}/Res3.dxg ${SPRAYDASH_PREVIEW_DIR}
        COMMAND ${CMAKE_COMMAND} -E touch ${_preview_stamp}
        DEPENDS spraydash-datagen ${_pic_res_dir}/Res1.dxg ${_pic_res_dir}/Res3.dxg
        COMMENT "Drawing layout previews into ${SPRAYDASH_PREVIEW_DIR}"
        VERBATIM)
    list(APPEND _pic_outputs ${_preview_stamp})
endif()

add_custom_target(spraydash_pictures ALL DEPENDS ${_pic_outputs})
# The asset tests read the archives from here.
set_property(GLOBAL PROPERTY SPRAYDASH_RES_DIR ${_pic_res_dir})
