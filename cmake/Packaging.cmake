# Installation and the two Debian packages (scripts/package builds them into build/packages/):
#   mirrox        the dispatch centre: the console program, the sort-key library where the local
#                 Firebird server loads it, a desktop and an autostart entry, the icon;
#   mirrox-agent  a site: the agent with its systemd unit and its configuration under /etc.
# Installed with the prefix /usr. The operators' installation directory /var/lib/mirrox is made
# by the package's maintainer scripts (shell/dist/postinst), not installed: it holds their data.
#
# `cmake --install` is the packaging backend: it lays out the packages' files for CPack, or for a
# look at them in a staging directory (DESTDIR=/tmp/stage cmake --install build --prefix /usr).
# It is no installation by itself: the accounts, the group, /var/lib/mirrox and the unit's
# enabling come from the maintainer scripts, and the unit, the command and the server's library
# path name /usr. So a plain install, or one under another prefix, stops and says so. CPack
# installs the two components alone and does not meet this check.
include(GNUInstallDirs)
install(CODE [[
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR "$ENV{DESTDIR}" STREQUAL "")
    message(FATAL_ERROR
      "cmake --install lays out the files of the Debian packages and makes no installation by "
      "itself (no accounts, no /var/lib/mirrox; the unit and the command name /usr). Build and "
      "install the packages instead: scripts/package, then apt-get install ./build/packages/<package>.deb. "
      "To look at the packages' files: DESTDIR=/tmp/stage cmake --install build --prefix /usr")
  endif()
]])

set(MIRROX_DEBIAN_DIR ${CMAKE_CURRENT_LIST_DIR}/debian)
set(MIRROX_UDF_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/firebird/3.0/UDF)

# Each package's copyright file and compressed changelog, as Debian policy wants them.
function(mirrox_package_docs component package)
  set(PACKAGE ${package})
  configure_file(${MIRROX_DEBIAN_DIR}/changelog.in ${CMAKE_BINARY_DIR}/debian/${package}/changelog.Debian @ONLY)
  execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/debian/${package}/changelog.Debian)
  install(FILES ${MIRROX_DEBIAN_DIR}/copyright ${CMAKE_BINARY_DIR}/debian/${package}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  # A package built here never goes through Debian's archive: its changelog closes no bug there.
  file(WRITE ${CMAKE_BINARY_DIR}/debian/${package}/lintian-overrides
       "${package}: initial-upload-closes-no-bugs [usr/share/doc/${package}/changelog.Debian.gz:1]\n")
  install(FILES ${CMAKE_BINARY_DIR}/debian/${package}/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package} COMPONENT ${component})
endfunction()

# A manual page, compressed as Debian installs them.
function(mirrox_manual_page component page section)
  get_filename_component(name ${page} NAME)
  set(compressed ${CMAKE_BINARY_DIR}/debian/man/${name}.gz)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/debian/man)
  execute_process(COMMAND sh -c "gzip -9n -c '${page}' > '${compressed}'")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${page})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()

# --- mirrox ---------------------------------------------------------------------------------
install(TARGETS mirrox RUNTIME DESTINATION lib/mirrox COMPONENT console)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/shell/dist/mirrox.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME mirrox
        COMPONENT console)
install(TARGETS testudf LIBRARY DESTINATION ${MIRROX_UDF_DIR} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        COMPONENT console)
install(FILES ${CMAKE_SOURCE_DIR}/shell/dist/mirrox.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT console)
install(FILES ${CMAKE_SOURCE_DIR}/shell/dist/mirrox-autostart.desktop DESTINATION /etc/xdg/autostart
        COMPONENT console)
install(FILES ${CMAKE_SOURCE_DIR}/shell/dist/mirrox.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        COMPONENT console)
install(FILES ${CMAKE_SOURCE_DIR}/docs/operations.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mirrox
        COMPONENT console)
mirrox_manual_page(console ${CMAKE_SOURCE_DIR}/shell/dist/mirrox.1 1)
mirrox_package_docs(console mirrox)

# --- mirrox-agent ---------------------------------------------------------------------------
install(TARGETS mirrox-agent RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT agent)
install(FILES ${CMAKE_SOURCE_DIR}/agent/dist/mirrox-agent.service DESTINATION /lib/systemd/system COMPONENT agent)
install(FILES ${CMAKE_SOURCE_DIR}/agent/dist/agent.conf DESTINATION /etc/mirrox-agent COMPONENT agent)
install(FILES ${CMAKE_SOURCE_DIR}/agent/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mirrox-agent
        COMPONENT agent)
mirrox_manual_page(agent ${CMAKE_SOURCE_DIR}/agent/dist/mirrox-agent.8 8)
mirrox_package_docs(agent mirrox-agent)

# --- the packages ---------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirrox)
set(CPACK_PACKAGE_VENDOR "Mirrox developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL console agent)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Mirrox developers <developers@mirrox.example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://mirrox.example.org/")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# Files under /etc are the administrator's: upgrades keep their changes.
file(WRITE ${CMAKE_BINARY_DIR}/debian/mirrox/conffiles "/etc/xdg/autostart/mirrox-autostart.desktop\n")
file(WRITE ${CMAKE_BINARY_DIR}/debian/mirrox-agent/conffiles "/etc/mirrox-agent/agent.conf\n")

set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME mirrox)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_CONSOLE_PACKAGE_DEPENDS "firebird3.0-server (>= 3.0), adduser")
set(CPACK_COMPONENT_CONSOLE_DESCRIPTION "database replication server of a dispatch centre
Mirrox copies the data of remote sites (meters, residents' requests, hardware
events) into local Firebird databases beside the dispatch centre's console.
Each site runs mirrox-agent in front of its own database; Mirrox drives the
agents over TCP, applies every row through stored procedures of its own and
purges the rows at the site once they are applied.
.
This package holds the program with its operator console, the sort-key
library that the local Firebird server loads, a desktop entry and an
autostart entry for the unattended start. The installation lives in
/var/lib/mirrox; operators are the members of the group mirrox.")
set(CPACK_DEBIAN_CONSOLE_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/shell/dist/postinst ${CMAKE_SOURCE_DIR}/shell/dist/postrm
    ${CMAKE_BINARY_DIR}/debian/mirrox/conffiles)

set(CPACK_DEBIAN_AGENT_PACKAGE_NAME mirrox-agent)
set(CPACK_DEBIAN_AGENT_PACKAGE_SECTION net)
set(CPACK_DEBIAN_AGENT_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_AGENT_PACKAGE_RECOMMENDS "firebird3.0-server (>= 3.0)")
set(CPACK_COMPONENT_AGENT_DESCRIPTION "site agent of the Mirrox replication server
mirrox-agent runs at a site in front of its Firebird database and serves it to
the dispatch centre's Mirrox over a line protocol on TCP: it opens the
database, runs the statements and selects it is sent, and returns each
select's rows as a zlib-compressed file.
.
This package holds the agent, a systemd unit that runs it as a service of its
own account, and its configuration in /etc/mirrox-agent/agent.conf, where the
address of the dispatch centre allowed to connect is to be filled in.")
set(CPACK_DEBIAN_AGENT_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/agent/dist/postinst ${CMAKE_SOURCE_DIR}/agent/dist/prerm ${CMAKE_SOURCE_DIR}/agent/dist/postrm
    ${CMAKE_BINARY_DIR}/debian/mirrox-agent/conffiles)

include(CPack)
