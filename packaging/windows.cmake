# The Windows installation: the program and its alarm sound in one folder,
# as the program looks for the sound beside itself, and the licence texts.
# CPack makes an NSIS installer (Start-menu entry, uninstaller) and a zip of
# the same files:
# build-win/detector-config-<version>-win64.exe and .zip.
install(TARGETS detector-config RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/bin/SIREN1.WAV DESTINATION .)

# The icon, drawn once for both systems, at the sizes Explorer and the Start
# menu pick from, goes into the program as a resource beside its version.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(IMAGEMAGICK_CONVERT convert REQUIRED)
set(DCT_ICON_PNGS)
foreach(size 16 32 48 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icon-${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                ${CMAKE_CURRENT_SOURCE_DIR}/detector-config.svg
        DEPENDS detector-config.svg)
    list(APPEND DCT_ICON_PNGS ${png})
endforeach()
set(DCT_ICO ${CMAKE_CURRENT_BINARY_DIR}/detector-config.ico)
add_custom_command(OUTPUT ${DCT_ICO}
    COMMAND ${IMAGEMAGICK_CONVERT} ${DCT_ICON_PNGS} ${DCT_ICO}
    DEPENDS ${DCT_ICON_PNGS}
    COMMENT "Making the Windows icon")
add_custom_target(windows_icon DEPENDS ${DCT_ICO})
set(DCT_RC ${CMAKE_CURRENT_BINARY_DIR}/detector-config.rc)
configure_file(windows/detector-config.rc.in ${DCT_RC} @ONLY)
target_sources(detector-config PRIVATE ${DCT_RC})
set_source_files_properties(${DCT_RC} TARGET_DIRECTORY detector-config
    PROPERTIES OBJECT_DEPENDS ${DCT_ICO})
add_dependencies(detector-config windows_icon)

# Licences: the program's own, and for the Qt linked into it the LGPL with
# the GPL it builds on, where the Qt source comes from, and Debian's record
# of that source's copyright holders (which covers the third-party libraries
# Qt carries).
set(DCT_QT_COPYRIGHT /usr/share/doc/libqt6core6/copyright)
foreach(file /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3
             ${DCT_QT_COPYRIGHT})
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "${file} is missing: the installer must carry it")
    endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES windows/Qt-NOTICE.txt DESTINATION .)
install(FILES /usr/share/common-licenses/LGPL-3 DESTINATION . RENAME LGPL-3.txt)
install(FILES /usr/share/common-licenses/GPL-3 DESTINATION . RENAME GPL-3.txt)
install(FILES ${DCT_QT_COPYRIGHT} DESTINATION . RENAME Qt-copyright.txt)
# The installer's licence page shows both notices.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE DCT_LICENSE_TEXT)
file(READ windows/Qt-NOTICE.txt DCT_QT_NOTICE_TEXT)
set(DCT_LICENSE_PAGE ${CMAKE_CURRENT_BINARY_DIR}/installer-licence.txt)
file(WRITE ${DCT_LICENSE_PAGE} "${DCT_LICENSE_TEXT}\n\n${DCT_QT_NOTICE_TEXT}")

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME detector-config)
set(CPACK_PACKAGE_VENDOR "Configuration Tools")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME detector-config-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configuration and diagnostic tool for an outdoor intrusion detector")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Configuration Tools")
set(CPACK_STRIP_FILES ON)
# The Start-menu entry: program name, then the entry's text.
set(CPACK_PACKAGE_EXECUTABLES detector-config "Configuration Tools")
set(CPACK_NSIS_DISPLAY_NAME "Configuration Tools")
set(CPACK_NSIS_PACKAGE_NAME "Configuration Tools")
set(CPACK_RESOURCE_FILE_LICENSE ${DCT_LICENSE_PAGE})
# The installed programs list shows the version (CPack registers it) and the
# program's own icon; the installer and uninstaller show it too.
set(CPACK_NSIS_INSTALLED_ICON_NAME detector-config.exe)
set(CPACK_NSIS_MUI_ICON ${DCT_ICO})
set(CPACK_NSIS_MUI_UNIICON ${DCT_ICO})
# The uninstaller removes what it installed, then the folder when it is
# empty; the program's own log beside it would keep the folder, so it goes
# too. Anything else the user put there stays. (The backslash is doubled
# twice: once for this file, once for the CPack configuration written from it.)
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Delete '$INSTDIR\\\\LogError.txt'")
# A 64-bit program goes under "Program Files", not "Program Files (x86)".
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for a 64-bit program (NSIS makes 32-bit ones by default,
# which a 64-bit-only Wine cannot run either).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
include(CPack)
