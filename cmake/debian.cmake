# Debian packages from the install components (cpack, or scripts/package):
#   libquarn7-0     the shared library
#   libquarn7-dev   headers, static library, CMake package, pkg-config file
#   quarn7          the command-line host and the simulated unit
#   quarn7-panel    the service panel and its library (needs the Qt 6 runtime)
#   python3-quarn7  the Python module, for the Python it was built for
# The system libraries each needs are found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarn7)
set(CPACK_PACKAGE_VENDOR "Quarn7")
set(CPACK_PACKAGE_CONTACT "Quarn7 maintainers <quarn7@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Drives the video overlay unit of a camera system over RS-232")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_COMPONENTS_ALL runtime dev tools panel)
if(TARGET quarn7_python)
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libquarn7.so.0 comes from this build, not from an installed package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)

set(QUARN7_DEB_LIBRARY "libquarn7-0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libquarn7-0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libquarn7-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${QUARN7_DEB_LIBRARY}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME quarn7)
set(CPACK_DEBIAN_PANEL_PACKAGE_NAME quarn7-panel)
set(CPACK_DEBIAN_PANEL_PACKAGE_DEPENDS "${QUARN7_DEB_LIBRARY}")
# The module holds the library; it needs the Python whose ABI it was built for.
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-quarn7)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
math(EXPR QUARN7_PYTHON_NEXT "${Python_VERSION_MINOR} + 1")
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), \
python3 (<< ${Python_VERSION_MAJOR}.${QUARN7_PYTHON_NEXT})")

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "Quarn7 library: the overlay unit's controller")
set(CPACK_COMPONENT_DEV_DESCRIPTION "Quarn7 development files: headers, CMake and pkg-config")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Quarn7 command-line host and simulated overlay unit")
set(CPACK_COMPONENT_PANEL_DESCRIPTION "Quarn7 service panel (Qt 6)")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "Quarn7 Python module: import quarn7")
include(CPack)
