# Install rules and the Debian package (scripts/package.sh). An installed copy follows the FHS;
# src/app/InstallLayout.cpp is given the same folders, so the programs find their files there.
include(GNUInstallDirs)

set(TORASCAN_INSTALL_PROGRAMS_DIR "lib/torascan")
set(TORASCAN_INSTALL_RESOURCES_DIR "${CMAKE_INSTALL_DATADIR}/torascan")
set(TORASCAN_PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")

# Only the installed programs are built for an install, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS toraScan torascan-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS Vantrel RUNTIME DESTINATION "${TORASCAN_INSTALL_PROGRAMS_DIR}")
install(FILES resources/toraScan.xls resources/db/Pelmora.sql resources/db/toraScan.sql
  resources/db/Pelmora.pgsql resources/db/toraScan.pgsql
  DESTINATION "${TORASCAN_INSTALL_RESOURCES_DIR}")
install(DIRECTORY resources/Skins DESTINATION "${TORASCAN_INSTALL_RESOURCES_DIR}")
# The station's first settings: the package's configure step copies them into
# /etc/torascan when they are missing there (the programs write that copy).
install(FILES "${TORASCAN_PACKAGING_DIR}/defaults/Pelmora.ini"
  "${TORASCAN_PACKAGING_DIR}/defaults/Vantrel.ini"
  DESTINATION "${TORASCAN_INSTALL_RESOURCES_DIR}/defaults")

# Debian's documentation files: the copyright and, gzipped reproducibly, the changelog of this
# version (a native package carries its own).
find_package(Git QUIET)
set(_changelog_date "Thu, 01 Jan 2026 00:00:00 +0000")
if(GIT_EXECUTABLE)
  execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%aD
    WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE _commit_date
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(_commit_date)
    set(_changelog_date "${_commit_date}")
  endif()
endif()
set(TORASCAN_MAINTAINER "toraScan maintainers <maintainers@example.org>")
set(_changelog "${CMAKE_BINARY_DIR}/packaging/changelog")
file(WRITE "${_changelog}"
  "torascan (${TORASCAN_BUILD_VERSION}) unstable; urgency=medium\n\n"
  "  * Built from the project's history at this version.\n\n"
  " -- ${TORASCAN_MAINTAINER}  ${_changelog_date}\n")
execute_process(COMMAND gzip -9nf "${_changelog}")
set(TORASCAN_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/torascan")
install(FILES "${_changelog}.gz" "${TORASCAN_PACKAGING_DIR}/copyright"
  DESTINATION "${TORASCAN_DOC_DIR}")

# The desktop's menu entry, its icon and the DICOM file type, so that file managers open DICOM
# files with the viewer; the manual pages, gzipped reproducibly as Debian wants them.
install(FILES "${TORASCAN_PACKAGING_DIR}/desktop/torascan.desktop"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${TORASCAN_PACKAGING_DIR}/desktop/torascan.svg"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${TORASCAN_PACKAGING_DIR}/desktop/torascan-mime.xml"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME torascan.xml)
foreach(page toraScan.1 torascan-cli.1)
  configure_file("${TORASCAN_PACKAGING_DIR}/man/${page}" "${CMAKE_BINARY_DIR}/packaging/${page}"
    COPYONLY)
  execute_process(COMMAND gzip -9nf "${CMAKE_BINARY_DIR}/packaging/${page}")
  install(FILES "${CMAKE_BINARY_DIR}/packaging/${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()

# The receiver as a service (not enabled by the package: the administrator chooses between it
# and the viewer's own companion), and the script it runs.
set(TORASCAN_SYSTEMD_UNIT_DIR "/lib/systemd/system" CACHE PATH
  "Where systemd's units are installed (Debian 12: /lib/systemd/system)")
install(FILES "${TORASCAN_PACKAGING_DIR}/service/torascan-receiver.service"
  DESTINATION "${TORASCAN_SYSTEMD_UNIT_DIR}")
install(PROGRAMS "${TORASCAN_PACKAGING_DIR}/service/torascan-receiver"
  DESTINATION "${TORASCAN_INSTALL_PROGRAMS_DIR}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torascan)
set(CPACK_PACKAGE_VERSION "${TORASCAN_BUILD_VERSION}")
set(CPACK_PACKAGE_CONTACT "${TORASCAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and local archive for digital radiography images")
# Debian's extended description: lines under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
  "toraScan finds patients, studies, series and images in a local database,\n"
  "opens DICOM images into one, two or four panes, adjusts window and level,\n"
  "zooms, pans, measures lengths and angles, writes and prints reports,\n"
  "exports pictures, and indexes the images a modality sends to its DICOM\n"
  "receiver.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot find them: the SQLite and
# PostgreSQL drivers of QtSql, the fonts the panes draw with; adduser for the group.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "adduser, libqt6sql6-sqlite, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, dcmtk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  "${TORASCAN_PACKAGING_DIR}/debian/postinst" "${TORASCAN_PACKAGING_DIR}/debian/prerm"
  "${TORASCAN_PACKAGING_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX "${CMAKE_BINARY_DIR}/package")
include(CPack)
