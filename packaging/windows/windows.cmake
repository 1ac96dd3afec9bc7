# The Windows release, for a MinGW-w64 build against a static Qt
# (scripts/windows makes one): icon, manifest and version information in
# both programs, and two targets that make what users download:
#   sorabi-windows-zip    Sorabi-<version>-win64.zip, the portable folder
#   sorabi-windows-setup  Sorabi-<version>-setup.exe, the installer (NSIS)
# Both land in the top of the build folder.

# A cross-build cannot run its own programs, so the icon is drawn by the
# sorabi-icons of a build for the machine that builds.
set(SORABI_HOST_ICONS "" CACHE FILEPATH "sorabi-icons of a host build; draws the Windows icon")
if(NOT SORABI_HOST_ICONS)
    message(FATAL_ERROR "Set SORABI_HOST_ICONS to the sorabi-icons program of a host build "
                        "(scripts/windows does).")
endif()
enable_language(RC)
find_program(ICOTOOL icotool REQUIRED)
find_program(MAKENSIS makensis)
# CMake may take the host's strip, which knows no Windows programs.
find_program(MINGW_STRIP x86_64-w64-mingw32-strip REQUIRED)

set(win_dir ${PROJECT_SOURCE_DIR}/packaging/windows)
set(win_out ${PROJECT_BINARY_DIR}/windows)

# The icon: the sizes Explorer and the taskbar use; the largest kept as PNG
# inside the file, as Windows expects for 256 px.
set(icon_sizes 16 24 32 48 64)
set(icon_pngs)
foreach(size IN LISTS icon_sizes)
    list(APPEND icon_pngs ${win_out}/icons/${size}x${size}/sorabi.png)
endforeach()
set(icon ${win_out}/sorabi.ico)
add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            "QT_LOGGING_RULES=qt.qpa.*=false;default.warning=false"
            ${SORABI_HOST_ICONS} ${win_out}/icons ${icon_sizes} 256
    COMMAND ${ICOTOOL} --create --output=${icon} ${icon_pngs}
            --raw=${win_out}/icons/256x256/sorabi.png
    DEPENDS ${SORABI_HOST_ICONS}
    COMMENT "Drawing the Windows program icon"
    VERBATIM)
# Its own target: the programs in other folders wait for it.
add_custom_target(sorabi-windows-icon DEPENDS ${icon})

# One resource script per program, from the project version.
set(SORABI_VENDOR "${CPACK_PACKAGE_VENDOR}")
set(SORABI_RC_ICON ${icon})
set(SORABI_RC_MANIFEST ${win_dir}/sorabi.manifest)
foreach(program sorabi sorabi-batch)
    set(SORABI_RC_NAME ${program})
    if(program STREQUAL "sorabi")
        set(SORABI_RC_DESCRIPTION "Sorabi 商品ページ作成")
    else()
        set(SORABI_RC_DESCRIPTION "Sorabi 商品ページ作成 (コマンドライン)")
    endif()
    configure_file(${win_dir}/sorabi.rc.in ${win_out}/${program}.rc @ONLY)
    target_sources(${program} PRIVATE ${win_out}/${program}.rc)
    add_dependencies(${program} sorabi-windows-icon)
    set_property(SOURCE ${win_out}/${program}.rc TARGET_DIRECTORY ${program} APPEND PROPERTY
                 OBJECT_DEPENDS ${icon} ${SORABI_RC_MANIFEST})
endforeach()

# Whatever links the core (the programs, the tests) is one file to copy:
# the C++ runtime and Qt inside, no MinGW DLLs beside it. The known-folder
# lookup of the platform layer needs the shell.
target_link_options(sorabi_core INTERFACE -static)
target_link_libraries(sorabi_core PRIVATE shell32 ole32)

# The portable folder: both programs (stripped), the read-me, and the
# sample product list with its settings in a folder of their own, so that
# the first start still asks for the user's settings.
set(SORABI_WINDOWS_NAME Sorabi-${PROJECT_VERSION}-win64)
set(stage ${win_out}/${SORABI_WINDOWS_NAME})
configure_file(${win_dir}/readme-ja.txt.in ${win_out}/readme-ja.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${win_out}/staged
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/sample
    COMMAND ${MINGW_STRIP} -o ${stage}/sorabi.exe $<TARGET_FILE:sorabi>
    COMMAND ${MINGW_STRIP} -o ${stage}/sorabi-batch.exe $<TARGET_FILE:sorabi-batch>
    COMMAND ${CMAKE_COMMAND} -E copy ${win_out}/readme-ja.txt ${stage}/readme-ja.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/examples/products.csv
            ${PROJECT_SOURCE_DIR}/examples/option.ini ${stage}/sample/
    COMMAND ${CMAKE_COMMAND} -E touch ${win_out}/staged
    DEPENDS sorabi sorabi-batch ${win_out}/readme-ja.txt
            ${PROJECT_SOURCE_DIR}/examples/products.csv ${PROJECT_SOURCE_DIR}/examples/option.ini
    COMMENT "Putting the Windows programs together"
    VERBATIM)

set(zip ${PROJECT_BINARY_DIR}/${SORABI_WINDOWS_NAME}.zip)
add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${SORABI_WINDOWS_NAME}
    WORKING_DIRECTORY ${win_out}
    DEPENDS ${win_out}/staged
    COMMENT "Making ${SORABI_WINDOWS_NAME}.zip"
    VERBATIM)
add_custom_target(sorabi-windows-zip DEPENDS ${zip})

if(MAKENSIS)
    set(setup ${PROJECT_BINARY_DIR}/Sorabi-${PROJECT_VERSION}-setup.exe)
    add_custom_command(OUTPUT ${setup}
        COMMAND ${MAKENSIS} -V2 -NOCD -INPUTCHARSET UTF8
                -DVERSION=${PROJECT_VERSION}
                "-DVENDOR=${SORABI_VENDOR}"
                -DSTAGE=${stage}
                -DICON=${icon}
                -DOUTFILE=${setup}
                ${win_dir}/installer.nsi
        DEPENDS ${win_out}/staged ${win_dir}/installer.nsi
        COMMENT "Making Sorabi-${PROJECT_VERSION}-setup.exe"
        VERBATIM)
    add_custom_target(sorabi-windows-setup DEPENDS ${setup})
endif()
