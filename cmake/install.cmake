# What `cmake --install` puts where, under CMAKE_INSTALL_PREFIX:
#   bin/                                   keyloom, keyloomctl, keyloom-vkbd
#   share/keyloom/                         the resource folder: Skins/, the language
#                                          files, Help/, Icons/ (platform/paths.cpp finds
#                                          it as ../share/keyloom from bin/)
#   lib/udev/rules.d/70-keyloom.rules      access to the keyboard without root
#   share/applications/<id>.desktop        the menu entry
#   share/metainfo/<id>.metainfo.xml       the AppStream description
#   share/icons/hicolor/NxN/apps/<id>.png  the application icon, every size drawn
#   <sysconfdir>/xdg/autostart/<id>.desktop  starts "keyloom /Start" at login
#   share/man/man1/                        keyloom.1, keyloomctl.1, keyloom-vkbd.1 (gzip)
#   share/bash-completion/completions/keyloomctl
#   share/doc/keyloom/                     README.md, copyright
# <id> is KEYLOOM_APP_ID. With the prefix /usr, <sysconfdir> is /etc.
include(GNUInstallDirs)

set(KEYLOOM_APP_ID io.github.keyloom.Keyloom)
set(KEYLOOM_FULL_UDEVRULESDIR ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
set(KEYLOOM_FULL_AUTOSTARTDIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart)
set(KEYLOOM_GENERATED ${CMAKE_BINARY_DIR}/generated)

foreach(prog keyloom keyloom-vkbd keyloomctl)
  if(TARGET ${prog})
    install(TARGETS ${prog} RUNTIME DESTINATION bin)
  endif()
endforeach()

# The resource folder: everything of res/ but what goes elsewhere.
install(DIRECTORY res/ DESTINATION share/keyloom
  PATTERN desktop EXCLUDE
  PATTERN man EXCLUDE
  PATTERN completion EXCLUDE
  PATTERN debian EXCLUDE
  PATTERN "*.rules" EXCLUDE)

install(FILES res/70-keyloom.rules DESTINATION lib/udev/rules.d)

install(FILES res/desktop/${KEYLOOM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(res/desktop/${KEYLOOM_APP_ID}.metainfo.xml.in ${KEYLOOM_GENERATED}/${KEYLOOM_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KEYLOOM_GENERATED}/${KEYLOOM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES res/desktop/${KEYLOOM_APP_ID}-autostart.desktop DESTINATION ${KEYLOOM_FULL_AUTOSTARTDIR}
  RENAME ${KEYLOOM_APP_ID}.desktop)

# The application icon is the tray's "disconnected" picture, in every size
# the skin generator drew (res/Icons/tray_disconnected_<N>.png).
set(KEYLOOM_APP_ICON_DIR ${CMAKE_SOURCE_DIR}/res/Icons CACHE PATH
  "Folder of the application icons tray_disconnected_<N>.png")
file(GLOB KEYLOOM_APP_ICONS CONFIGURE_DEPENDS ${KEYLOOM_APP_ICON_DIR}/tray_disconnected_*.png)
foreach(icon IN LISTS KEYLOOM_APP_ICONS)
  get_filename_component(name ${icon} NAME)
  if(name MATCHES "^tray_disconnected_([0-9]+)\\.png$")
    install(FILES ${icon}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${CMAKE_MATCH_1}x${CMAKE_MATCH_1}/apps
      RENAME ${KEYLOOM_APP_ID}.png)
  endif()
endforeach()

# Manual pages: the version and the installed paths filled in, then gzip'd
# (without a time stamp, so that a rebuild gives the same bytes).
set(KEYLOOM_MAN_PAGES)
foreach(page keyloom keyloomctl keyloom-vkbd)
  configure_file(res/man/${page}.1.in ${KEYLOOM_GENERATED}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${KEYLOOM_GENERATED}/man/${page}.1.gz
    COMMAND gzip -9 -n -c ${KEYLOOM_GENERATED}/man/${page}.1 > ${KEYLOOM_GENERATED}/man/${page}.1.gz
    DEPENDS ${KEYLOOM_GENERATED}/man/${page}.1
    VERBATIM)
  list(APPEND KEYLOOM_MAN_PAGES ${KEYLOOM_GENERATED}/man/${page}.1.gz)
endforeach()
add_custom_target(keyloom_man_pages ALL DEPENDS ${KEYLOOM_MAN_PAGES})
install(FILES ${KEYLOOM_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES res/completion/keyloomctl DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES README.md res/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
