# The Debian package, built by CPack (scripts/package configures a build with
# the prefix /usr and runs it). Its files are what `cmake --install` puts
# under that prefix; the package adds:
#   - dependencies found from the binaries (dpkg-shlibdeps), plus Qt's
#     platform plugins, which no binary links;
#   - the autostart entry in /etc as a conffile (removed on purge);
#   - postinst/postrm that let udev apply or drop the rule for a keyboard that
#     is plugged in;
#   - /usr/share/doc/keyloom/changelog.gz.
set(KEYLOOM_PACKAGE_MAINTAINER "Keyloom developers <keyloom@example.org>"
  CACHE STRING "Maintainer field of the Debian package: Name <address>")

execute_process(COMMAND date -u -R -d "${KEYLOOM_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE KEYLOOM_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(res/debian/changelog.in ${KEYLOOM_GENERATED}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${KEYLOOM_GENERATED}/debian/changelog.gz
  COMMAND gzip -9 -n -c ${KEYLOOM_GENERATED}/debian/changelog > ${KEYLOOM_GENERATED}/debian/changelog.gz
  DEPENDS ${KEYLOOM_GENERATED}/debian/changelog
  VERBATIM)
add_custom_target(keyloom_debian_changelog ALL DEPENDS ${KEYLOOM_GENERATED}/debian/changelog.gz)
install(FILES ${KEYLOOM_GENERATED}/debian/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
configure_file(res/debian/conffiles.in ${KEYLOOM_GENERATED}/debian/conffiles @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keyloom)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Keyloom developers")
set(CPACK_PACKAGE_CONTACT "${KEYLOOM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility of the Tarn-60 Gaming Keyboard")
# The body below the summary line; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Keyloom reads the memory of the Tarn-60 Gaming Keyboard, lets you change it
and writes it back: key assignments and macros, the lighting effect and the
colour of every key, the active on-board slot and the report rate. Profiles
can be backed up and restored.

The package holds the desktop utility keyloom (it lives in the tray and is
started at login), keyloomctl for the command line and scripts, and
keyloom-vkbd, a virtual keyboard to try everything without the hardware. A
udev rule gives the user at the seat access to the keyboard without root.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KEYLOOM_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${KEYLOOM_GENERATED}/debian/conffiles
  ${CMAKE_SOURCE_DIR}/res/debian/postinst
  ${CMAKE_SOURCE_DIR}/res/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
