# Installation and the Debian package.
#
# Kennel must run from the host's folder, so the package keeps it in a library folder of its
# own (lib/kennel, with the archiver library beside it), links bin/kennel to it, and
# `kennel --setup` copies both into a host folder. The desktop entry of the package starts
# `kennel --setup`; the entry that a setup writes for the user has the same name and so takes
# its place in the menu.
#
#   cmake --install build --prefix /usr/local      install
#   (cd build && cpack)                             build/package/kennel_VERSION_ARCH.deb
# Both take kennel and unlha32 as built; neither builds the rest (the tests) first.
include(GNUInstallDirs)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(KENNEL_INSTALL_LIBDIR lib/kennel)
install(TARGETS kennel DESTINATION ${KENNEL_INSTALL_LIBDIR})
install(TARGETS unlha32 LIBRARY DESTINATION ${KENNEL_INSTALL_LIBDIR} NAMELINK_SKIP)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install)
file(CREATE_LINK ../${KENNEL_INSTALL_LIBDIR}/kennel ${CMAKE_BINARY_DIR}/install/kennel SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install/kennel DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES data/kennel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${KENNEL_APP_ID}.desktop)
set(KENNEL_METAINFO_URL "")
if(KENNEL_HOME_PAGE)
  set(KENNEL_METAINFO_URL "\n  <url type=\"homepage\">${KENNEL_HOME_PAGE}</url>")
endif()
configure_file(data/kennel.metainfo.xml.in ${CMAKE_BINARY_DIR}/install/${KENNEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/${KENNEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(KENNEL_ICON_DIR ${CMAKE_SOURCE_DIR}/ui/main/resources)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${KENNEL_ICON_DIR}/icons/kennel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kennel.png)
endforeach()
install(FILES ${KENNEL_ICON_DIR}/src/kennel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(KENNEL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kennel)
install(FILES README.md docs/architecture.md DESTINATION ${KENNEL_DOCDIR})
install(DIRECTORY docs/screenshots DESTINATION ${KENNEL_DOCDIR})
# Debian's place for the licence.
install(FILES LICENSE DESTINATION ${KENNEL_DOCDIR} RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kennel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kennel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pet selector for the pet-mail program Mewmail (runs it under Wine)")
set(CPACK_PACKAGE_DESCRIPTION "Kennel keeps up to 100 pets for the pet-mail program Mewmail for Windows
ver. 2.0, which keeps one: it stores each pet's data in a folder of its own, swaps the chosen
pet's data into the host's folder and starts the host under Wine. Pets can be backed up into
folders or LHA archives and restored. Its windows are in Japanese.
.
Run `kennel --setup` (or choose Kennel 2001 in the menu) to put Kennel into the host's folder.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kennel developers")
if(KENNEL_AUTHOR_MAIL)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KENNEL_AUTHOR_NAME} <${KENNEL_AUTHOR_MAIL}>")
endif()
if(KENNEL_HOME_PAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KENNEL_HOME_PAGE})
endif()
# The libraries the programs link to, found by dpkg-shlibdeps; what the host needs, recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, wine64, libfaketime, fonts-noto-cjk | fonts-japanese-gothic")
include(CPack)
