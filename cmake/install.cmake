# What `cmake --install` puts under the prefix, by component:
#   runtime  libquarn7.so.0
#   dev      the headers, libquarn7.so and libquarn7.a, the CMake package, quarn7.pc
#   tools    quarn7 and quarn7-sim with their man pages
#   panel    quarn7-panel with its man page, and Quarn7::panel (libquarn7_panel.so.0 with its
#            CMake targets)
#   python   the Python module quarn7 with its type stubs, in the interpreter's site directory
#            (src/python)
# and the Debian packages CPack builds from them (scripts/package).
include(CMakePackageConfigHelpers)

set(QUARN7_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quarn7)

install(TARGETS quarn7_shared EXPORT Quarn7Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS quarn7_static EXPORT Quarn7Targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quarn7 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    COMPONENT dev)
install(EXPORT Quarn7Targets NAMESPACE Quarn7:: DESTINATION ${QUARN7_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/Quarn7Config.cmake.in
    ${PROJECT_BINARY_DIR}/Quarn7Config.cmake INSTALL_DESTINATION ${QUARN7_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Quarn7ConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/Quarn7Config.cmake
    ${PROJECT_BINARY_DIR}/Quarn7ConfigVersion.cmake DESTINATION ${QUARN7_CMAKE_DIR} COMPONENT dev)

# pkg-config: the prefix is found from the .pc file's own place, so the tree can move.
file(RELATIVE_PATH QUARN7_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/quarn7.pc.in ${PROJECT_BINARY_DIR}/quarn7.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarn7.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT dev)

# The programs, and a man page for each made from its --help.
find_program(QUARN7_HELP2MAN help2man)
if(NOT QUARN7_HELP2MAN)
    message(STATUS "help2man not found: no man pages")
endif()
function(quarn7_install_program target name component summary)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
    if(NOT QUARN7_HELP2MAN)
        return()
    endif()
    set(page ${PROJECT_BINARY_DIR}/man/${name}.1)
    add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${QUARN7_HELP2MAN} --no-info --no-discard-stderr
                --version-string=${PROJECT_VERSION} --name=${summary} --output=${page}
                $<TARGET_FILE:${target}>
        DEPENDS ${target}
        COMMENT "Writing the man page of ${name}" VERBATIM)
    add_custom_target(${name}_man ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()

quarn7_install_program(quarn7_host quarn7 tools "call the overlay unit's members by name")
quarn7_install_program(quarn7-sim quarn7-sim tools "simulated overlay unit on a pseudo-terminal")
if(TARGET quarn7-panel)
    quarn7_install_program(quarn7-panel quarn7-panel panel "service panel of the overlay unit")
    install(TARGETS quarn7_panel_shared EXPORT Quarn7PanelTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT panel NAMELINK_COMPONENT panel)
    install(EXPORT Quarn7PanelTargets NAMESPACE Quarn7:: DESTINATION ${QUARN7_CMAKE_DIR}
        COMPONENT panel)
endif()

if(PROJECT_IS_TOP_LEVEL)
    include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
endif()
