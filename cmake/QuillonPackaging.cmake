# Debian packages through `cpack -G DEB`, one per install component:
#   libquillon0     the module and the two libraries it loads: what a client application needs
#   libquillon-dev  headers, CMake package and pkg-config file: what a client's build needs
#   dvrd            the server and its service: recording machines need neither Qt Widgets nor the
#                   module, and operator PCs need no daemon with its own user
#   quillon         the operator's programs, which pull the module and its libraries in
# Dependencies on system libraries come from dpkg-shlibdeps; those between the packages from the
# component dependencies (same version).
set(QUILLON_PACKAGE_NAME_module libquillon${QUILLON_SOVERSION})
set(QUILLON_PACKAGE_NAME_dev libquillon-dev)
set(QUILLON_PACKAGE_NAME_server dvrd)
set(QUILLON_PACKAGE_NAME_tools quillon)
set(QUILLON_PACKAGE_RELEASE 1)

# Every package carries its copyright and Debian change log in /usr/share/doc/<package>; a plain
# `cmake --install` leaves them out, as they describe the packages.
string(TIMESTAMP QUILLON_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(QUILLON_PACKAGE_CONTACT "Quillon developers <quillon@example.org>")
foreach(component module dev server tools)
    set(package ${QUILLON_PACKAGE_NAME_${component}})
    set(changelog ${QUILLON_GENERATED_DIR}/doc/${package}/changelog.Debian)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${changelog} @ONLY)
    quillon_gzip(${changelog} ${changelog}.gz)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component}
            EXCLUDE_FROM_ALL)
endforeach()
# The module's plain-named link sits in the runtime package on purpose (see QuillonInstall.cmake).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/libquillon.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
        RENAME ${QUILLON_PACKAGE_NAME_module} COMPONENT module EXCLUDE_FROM_ALL)
get_property(gzipped GLOBAL PROPERTY QUILLON_GZIPPED)
add_custom_target(installed-documents ALL DEPENDS ${gzipped})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon developers")
set(CPACK_PACKAGE_CONTACT ${QUILLON_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL module dev server tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUILLON_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The operator's tool links the host link, which the module package holds: dpkg-shlibdeps finds
# it in the build (the dependency on that package is declared with the components below).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/quillon")

set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS module)
set(CPACK_COMPONENT_TOOLS_DEPENDS module)
foreach(component module dev server tools)
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${QUILLON_PACKAGE_NAME_${component}})
endforeach()
set(CPACK_DEBIAN_MODULE_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION video)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION video)
# The libraries' package refreshes the loader's cache through the ldconfig trigger.
set(CPACK_DEBIAN_MODULE_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS adduser)
# The collection quillon.fleet runs under Ansible, which an operator's PC may lack.
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS ansible-core)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst
    ${PROJECT_SOURCE_DIR}/packaging/prerm
    ${PROJECT_SOURCE_DIR}/packaging/postrm)

# Descriptions: the synopsis, then the text, which CPack indents; an empty line parts paragraphs.
set(CPACK_COMPONENT_MODULE_DESCRIPTION
    "setup module of a multi-channel video recording server
A client application loads libQuillon and calls ShowSetupForm to configure one
recording server over the network: the module logs in, downloads the server's
settings files, shows the setup window in Chinese or English and, on OK,
uploads the files and has the server apply them.

This package holds the module, the host-link library TCPClientDLL that carries
every exchange with the server, and the video client library KxClient.")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "setup module of a video recording server - development files
Headers for ShowSetupForm (C and C++) and the host-link library, a CMake
package (find_package(Quillon) gives Quillon::Quillon and
Quillon::TCPClientDLL) and a pkg-config file (quillon).")
set(CPACK_COMPONENT_SERVER_DESCRIPTION
    "reference multi-channel video recording server
dvrd serves one configuration root over the Quillon wire protocol: logins,
the nine settings files and the apply command. The package runs it as the
systemd service dvrd.service under its own user, with the configuration root
in /var/lib/dvrd and the administrator's credentials in /etc/dvrd/admin.")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "operator's programs for video recording servers
quillon-client opens the setup window of one server from the command line.")
if(TARGET quillon)
    string(APPEND CPACK_COMPONENT_TOOLS_DESCRIPTION "
quillon pulls, compares, validates and pushes the settings of many servers at
once, gets, sets and checks single settings across a fleet, opens the setup
window on a folder, and keeps backups of them to restore. The Ansible
collection quillon.fleet runs it from playbooks.")
endif()

include(CPack)
