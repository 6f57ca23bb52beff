# Debian packages from the install components (`cpack -G DEB` in the build tree):
#   lib    -> libkavrel1      the library
#   dev    -> libkavrel-dev   headers, pkg-config file, CMake package, section 3 pages
#   tools  -> kavrel-tools    kavrel, kavrel-sim, the VISA stand-in in a private folder,
#                             section 1 pages and bash completion where they are installed
#   python -> python3-kavrel  once something installs with COMPONENT python
# One version for all, the project's; the library's SONAME follows its major number.
set(KAVREL_PACKAGES lib dev tools python)
set(KAVREL_PACKAGE_NAMES libkavrel${PROJECT_VERSION_MAJOR} libkavrel-dev kavrel-tools python3-kavrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavrel)
set(CPACK_PACKAGE_VENDOR "kavrel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kavrel developers <kavrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote-control driver for the 4100-family microwave test sets")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)

set(kavrel_exact "(= ${PROJECT_VERSION}-1)")
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIB_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_COMPONENT_LIB_DESCRIPTION "kavrel driver library\n The shared library with the flat C interface; it loads VISA at run time.")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libkavrel${PROJECT_VERSION_MAJOR} ${kavrel_exact}")
set(CPACK_COMPONENT_DEV_DESCRIPTION "kavrel driver library: development files\n Headers, pkg-config file, CMake package and the section 3 reference.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libkavrel${PROJECT_VERSION_MAJOR} ${kavrel_exact}, libc6, libstdc++6, libgcc-s1")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "librsvg2-bin")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "kavrel program and simulated instrument\n Runs measurements from the command line; the simulator and a VISA stand-in need no hardware.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "libkavrel${PROJECT_VERSION_MAJOR} ${kavrel_exact}, python3")
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "kavrel driver for Python 3\n The Python package over the driver library.")

foreach(component name IN ZIP_LISTS KAVREL_PACKAGES KAVREL_PACKAGE_NAMES)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${name})
endforeach()

# Only the components something installs become packages; the list is read
# when the whole tree has been configured.
function(kavrel_package_components)
  get_cmake_property(installed COMPONENTS)
  set(components)
  foreach(component IN LISTS KAVREL_PACKAGES)
    if(component IN_LIST installed)
      list(APPEND components ${component})
    endif()
  endforeach()
  set(CPACK_COMPONENTS_ALL ${components})
  include(CPack)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kavrel_package_components)
