# What the programs install beside themselves: man pages carrying the project's version, the
# desktop entry, the icon in the hicolor sizes and the AppStream metadata.

# The web address the AppStream metadata points at: its screenshots are looked up under
# <address>/screenshots, and its component id is the address's host name reversed. The project
# has no public address yet; set this when the screenshots are published.
set(PELIMO_HOME_PAGE "https://pelimo.invalid" CACHE STRING "Web address of the project")
string(REGEX REPLACE "^[a-z]+://([^/]+).*$" "\\1" home_host "${PELIMO_HOME_PAGE}")
string(REPLACE "." ";" home_parts "${home_host}")
list(REVERSE home_parts)
list(JOIN home_parts "." PELIMO_APPSTREAM_ID)
string(APPEND PELIMO_APPSTREAM_ID ".Pelimo")
set(PELIMO_SCREENSHOT_URL "${PELIMO_HOME_PAGE}/screenshots")
set(generated ${CMAKE_BINARY_DIR}/generated/data)
configure_file(data/pelimo.metainfo.xml.in ${generated}/${PELIMO_APPSTREAM_ID}.metainfo.xml @ONLY)

# The man pages' header line names the version.
foreach(page pelimo.1 pelimo-cli.1)
  file(READ data/${page} text)
  string(REGEX REPLACE "\"Pelimo [0-9.]+\"" "\"Pelimo ${PROJECT_VERSION}\"" text "${text}")
  file(CONFIGURE OUTPUT ${generated}/${page} CONTENT "${text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS data/${page})
endforeach()

# The icon's PNG sizes are drawn from the SVG at build time where rsvg-convert is present (the
# packages need it); otherwise the committed 128 x 128 picture is installed alone.
set(icon_sizes 16 22 24 32 48 64 128 256)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(icon_files)
  foreach(size ${icon_sizes})
    set(icon ${generated}/icons/${size}x${size}/pelimo.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${icon} ${CMAKE_SOURCE_DIR}/data/pelimo.svg
      DEPENDS data/pelimo.svg VERBATIM)
    list(APPEND icon_files ${icon})
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(pelimo_icons ALL DEPENDS ${icon_files})
else()
  install(FILES data/pelimo.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
endif()

install(FILES data/pelimo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/pelimo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${generated}/pelimo.1 ${generated}/pelimo-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated}/${PELIMO_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
