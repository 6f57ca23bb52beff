# The Windows zip: kavrel.dll, its import libraries and module definition,
# the headers, a short read-me, and whatever else the Windows tree installs.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/README-windows.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kavrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES ON)  # the debugging information stays in the build tree
include(CPack)
