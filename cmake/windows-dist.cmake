# The Windows distribution: a ZIP holding the installer, orvexsetup, the
# README and the bundled example data file.
#   cmake --build build/mingw --target package
install(TARGETS orvexinst orvexsetup RUNTIME DESTINATION . COMPONENT dist)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT dist)
install(FILES ${PROJECT_SOURCE_DIR}/examples/ORVEXRES.DAT DESTINATION examples COMPONENT dist)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orvex-nt-install)
set(CPACK_PACKAGE_VENDOR "Orvex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win32)
# Only what is listed above, whatever other directories install.
set(CPACK_COMPONENTS_ALL dist)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_STRIP_FILES ON)
include(CPack)
