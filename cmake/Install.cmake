# Where an installed Corvalin puts its files (GNUInstallDirs under the chosen
# prefix), and the Debian package made from the same install rules.

include(GNUInstallDirs)

set(CORVALIN_APP_ID example.hestrad.Corvalin)
set(CORVALIN_DATA ${PROJECT_SOURCE_DIR}/data)
set(CORVALIN_GENERATED ${PROJECT_BINARY_DIR}/data)
set(CORVALIN_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/corvalin)
set(CORVALIN_ICON_SIZES 16 22 24 32 48 64 128 256)

# Directories come out 0755 whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS corvalin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CORVALIN_DATA}/${CORVALIN_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

install(FILES ${CORVALIN_DATA}/icons/corvalin.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${CORVALIN_APP_ID}.svg)
foreach(size ${CORVALIN_ICON_SIZES})
  install(FILES ${CORVALIN_DATA}/icons/corvalin-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${CORVALIN_APP_ID}.png)
endforeach()

# The metadata and the package documents name the configured web address
# and contact.
configure_file(${CORVALIN_DATA}/${CORVALIN_APP_ID}.metainfo.xml.in
  ${CORVALIN_GENERATED}/${CORVALIN_APP_ID}.metainfo.xml @ONLY)
configure_file(${CORVALIN_DATA}/package/copyright.in ${CORVALIN_GENERATED}/copyright @ONLY)
configure_file(${CORVALIN_DATA}/package/changelog.in ${CORVALIN_GENERATED}/changelog @ONLY)
install(FILES ${CORVALIN_GENERATED}/${CORVALIN_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog are installed compressed, as Debian wants
# them; "-n" leaves the time out so that the package is reproducible.
function(corvalin_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9n -c ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
corvalin_gzip(${CORVALIN_DATA}/man/corvalin.1 ${CORVALIN_GENERATED}/de/corvalin.1.gz)
corvalin_gzip(${CORVALIN_DATA}/man/corvalin.en.1 ${CORVALIN_GENERATED}/en/corvalin.1.gz)
corvalin_gzip(${CORVALIN_GENERATED}/changelog ${CORVALIN_GENERATED}/changelog.gz)
file(MAKE_DIRECTORY ${CORVALIN_GENERATED}/de ${CORVALIN_GENERATED}/en)
add_custom_target(corvalin_data ALL DEPENDS
  ${CORVALIN_GENERATED}/de/corvalin.1.gz ${CORVALIN_GENERATED}/en/corvalin.1.gz
  ${CORVALIN_GENERATED}/changelog.gz)

# The program speaks German, so its page is the one "man corvalin" finds;
# the English page answers under an English locale.
install(FILES ${CORVALIN_GENERATED}/de/corvalin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CORVALIN_GENERATED}/en/corvalin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/en/man1)
install(FILES ${CORVALIN_GENERATED}/copyright ${CORVALIN_GENERATED}/changelog.gz
  DESTINATION ${CORVALIN_PACKAGE_DOCDIR})

# The Debian package: "cpack -G DEB" in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvalin)
set(CPACK_PACKAGE_VENDOR Hestrad)
set(CPACK_PACKAGE_CONTACT "Hestrad <${CORVALIN_EMAIL}>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CORVALIN_WEBSITE})
# The shared libraries the program is actually linked with decide the
# dependencies; the fonts and the launcher are used without being linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch picture converter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Corvalin converts a whole folder of pictures at once: it turns, scales,
changes the colour depth of and stamps a line of text into each picture and
saves it over the original or as a copy, in its own format or another.

It reads BMP, GIF, ICO, JPEG, Photo CD, Photoshop, PCX, PNG, TIFF and Windows
metafiles and writes BMP, GIF, JPEG, PNG, TIFF and Windows metafiles.
Command-line switches run a whole batch without a window. The program's
texts are German.]=])
include(CPack)
