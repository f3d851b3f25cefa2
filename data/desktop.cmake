# Desktop integration: where a Linux desktop looks for the program's entry, icons and
# software-centre description, and the Debian package that carries them.

# The desktop entry is named after the application id, as the program names itself on the
# session bus, to Wayland (QGuiApplication::desktopFileName) and in the metainfo, so that the
# desktop ties its windows, dock icon and notifications to this entry.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/io.github.quorvela.Quorvela.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Icons are installed from whichever sizes the source tree holds, so a tree without some of
# them still builds and installs. The glob makes an icon added later re-run the configuration.
file(GLOB quorvela_icons CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/icons/quorvela*)
foreach(size IN ITEMS 16 32 48 64 128)
    set(icon ${CMAKE_CURRENT_SOURCE_DIR}/icons/quorvela-${size}.png)
    if(icon IN_LIST quorvela_icons)
        install(FILES ${icon}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME quorvela.png)
    endif()
endforeach()
if(${CMAKE_CURRENT_SOURCE_DIR}/icons/quorvela.svg IN_LIST quorvela_icons)
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/icons/quorvela.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# The metainfo names the web site and the published screenshots, so it is filled in from the
# cache rather than kept with fixed addresses.
string(REGEX REPLACE "/+$" "" quorvela_site "${QUORVELA_WEBSITE}")
set(QUORVELA_SCREENSHOT_BASE "${quorvela_site}/docs/screenshots/" CACHE STRING
    "Address of the folder holding player.png, preferences.png, help.png and about.png, for the metainfo")
set(QUORVELA_METAINFO ${CMAKE_CURRENT_BINARY_DIR}/io.github.quorvela.Quorvela.metainfo.xml)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/io.github.quorvela.Quorvela.metainfo.xml.in
               ${QUORVELA_METAINFO} @ONLY)
install(FILES ${QUORVELA_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian packages carry their licence as the copyright file of their documentation folder.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

# Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvela)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorvela developers")
set(CPACK_PACKAGE_CONTACT "The Quorvela developers <${QUORVELA_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small MP3 player with a folder list and a playlist")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The program looks for its help page under the prefix it was built for, so the package
# installs under that same prefix. Configure with -DCMAKE_INSTALL_PREFIX=/usr for a package
# that follows Debian's layout.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "The Debian package will install under ${CMAKE_INSTALL_PREFIX}; "
                   "configure with -DCMAKE_INSTALL_PREFIX=/usr for a standard package")
endif()
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quorvela developers <${QUORVELA_EMAIL}>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORVELA_WEBSITE}")
# Dependencies come from the libraries the program links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The summary above becomes the first line of the description; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvela lists the MP3 files of a folder and plays the one double-clicked,
showing its name, its total time and the time played so far.
.
Beside the folder list it keeps a playlist of full paths, filled from the
folder list or loaded from plain, M3U and PLS playlist files. The last
folder and the colours of the lists are remembered between runs.")

# CPack takes the settings above when it is included, so it comes last; the package still
# holds every install rule of the project, including any added after this point.
include(CPack)
