# The Windows installation: the program and its alarm sound in one folder,
# as the program looks for the sound beside itself. CPack makes an NSIS
# installer (Start-menu entry, uninstaller) and a zip of the same files:
# build-win/detector-config-<version>-win64.exe and .zip.
install(TARGETS detector-config RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/bin/SIREN1.WAV DESTINATION .)

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
set(CPACK_NSIS_INSTALLED_ICON_NAME detector-config.exe)
# A 64-bit program goes under "Program Files", not "Program Files (x86)".
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for a 64-bit program (NSIS makes 32-bit ones by default,
# which a 64-bit-only Wine cannot run either).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
include(CPack)
