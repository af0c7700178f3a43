# What `cmake --install` puts where, by component: module (the three libraries and the name
# client applications load the module by), dev (headers, CMake package, pkg-config file),
# server (dvrd, its systemd unit and default configuration) and tools (the operator's programs).
include(CMakePackageConfigHelpers)

set(QUILLON_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quillon)
set(QUILLON_GENERATED_DIR ${CMAKE_BINARY_DIR}/installed)
set(QUILLON_SOVERSION ${PROJECT_VERSION_MAJOR})

# quillon_install_configured(TEMPLATE DESTINATION COMPONENT): installs TEMPLATE with its
# @QUILLON_INSTALL_*@ paths filled in at install time, so that they name the prefix the files
# are installed for (`cmake --install --prefix`, or /usr in the packages) and not the
# configured one.
function(quillon_install_configured template destination component)
    get_filename_component(name ${template} NAME_WLE)
    set(output ${QUILLON_GENERATED_DIR}/${component}/${name})
    install(CODE "
        set(QUILLON_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
        set(QUILLON_INSTALL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        set(QUILLON_INSTALL_LIBDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}\")
        set(QUILLON_INSTALL_INCLUDEDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_INCLUDEDIR}\")
        set(QUILLON_VERSION \"${PROJECT_VERSION}\")
        configure_file(\"${template}\" \"${output}\" @ONLY)"
        COMPONENT ${component})
    install(FILES ${output} DESTINATION ${destination} COMPONENT ${component})
endfunction()

# quillon_gzip(SOURCE OUTPUT): a compressed copy made at build time, without a time stamp so that
# packages built twice are the same. Only some generators make an output's folder themselves.
function(quillon_gzip source output)
    get_filename_component(folder ${output} DIRECTORY)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND gzip -9 -n -c ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    set_property(GLOBAL APPEND PROPERTY QUILLON_GZIPPED ${output})
endfunction()

# quillon_install_program(TARGET COMPONENT [MAN_PAGE]): a program in bin/ with its manual page.
function(quillon_install_program target component)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
    if(ARGC GREATER 2)
        get_filename_component(page ${ARGV2} NAME)
        string(REGEX REPLACE ".*\\.([1-8])$" "\\1" section ${page})
        set(compressed ${QUILLON_GENERATED_DIR}/man/${page}.gz)
        quillon_gzip(${ARGV2} ${compressed})
        install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
                COMPONENT ${component})
    endif()
endfunction()

# The libraries: versioned, and finding each other beside themselves wherever they are installed.
set_target_properties(Quillon TCPClientDLL KxClient PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${QUILLON_SOVERSION}
    INSTALL_RPATH "$ORIGIN")
# Client applications load the module at run time by its plain name, so that link belongs to the
# runtime; the host link's plain name is only for linking, so it goes with the headers.
install(TARGETS Quillon EXPORT QuillonTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT module NAMELINK_COMPONENT module)
install(TARGETS TCPClientDLL EXPORT QuillonTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT module NAMELINK_COMPONENT dev)
install(TARGETS KxClient
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT module NAMELINK_SKIP)
install(FILES ${PROJECT_SOURCE_DIR}/src/quillon/showsetupform.h
              ${PROJECT_SOURCE_DIR}/src/hostlink/tcpclientdll.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillon COMPONENT dev)

# find_package(Quillon): Quillon::Quillon and Quillon::TCPClientDLL.
install(EXPORT QuillonTargets NAMESPACE Quillon:: DESTINATION ${QUILLON_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuillonConfig.cmake.in
    ${QUILLON_GENERATED_DIR}/QuillonConfig.cmake INSTALL_DESTINATION ${QUILLON_CMAKE_DIR})
write_basic_package_version_file(${QUILLON_GENERATED_DIR}/QuillonConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${QUILLON_GENERATED_DIR}/QuillonConfig.cmake
              ${QUILLON_GENERATED_DIR}/QuillonConfigVersion.cmake
        DESTINATION ${QUILLON_CMAKE_DIR} COMPONENT dev)
quillon_install_configured(${CMAKE_CURRENT_LIST_DIR}/quillon.pc.in
    ${CMAKE_INSTALL_LIBDIR}/pkgconfig dev)

# The programs.
quillon_install_program(quillon-client tools ${PROJECT_SOURCE_DIR}/docs/man/quillon-client.1)
quillon_install_program(quillon tools ${PROJECT_SOURCE_DIR}/docs/man/quillon.1)
# The Ansible collection quillon.fleet, where Ansible looks for collections by default
# (/usr/share/ansible/collections in the package); its module runs the quillon program.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansible/ansible_collections/quillon/fleet
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ansible/collections/ansible_collections/quillon
        COMPONENT tools PATTERN __pycache__ EXCLUDE)
quillon_install_program(dvrd server ${PROJECT_SOURCE_DIR}/docs/man/dvrd.8)

# The server's service (under the prefix: /usr/lib/systemd/system in the package) and the
# configuration a first install serves until the operator uploads the real one. Only the
# settings ship: the first install starts with no stored users, just the administrator.
quillon_install_configured(${PROJECT_SOURCE_DIR}/packaging/dvrd.service.in
    lib/systemd/system server)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/SysConfig
        DESTINATION ${CMAKE_INSTALL_DATADIR}/dvrd COMPONENT server)
