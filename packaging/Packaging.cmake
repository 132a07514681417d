# Installing like a Debian program: where things go, what a packager sets, the man page
# rule the targets use, the package documentation and the Debian package built by CPack
# (`make deb`, or `cpack` in the build folder).
include(GNUInstallDirs)

set(NORVA_PROJECT_URL "https://norvaviewer.example.org"
  CACHE STRING "Home page named by the AppStream metainfo and the Debian package")
set(NORVA_SCREENSHOT_URL ""
  CACHE STRING "Where software centres fetch docs/screenshot.png from (default: beside the home page)")
if(NOT NORVA_SCREENSHOT_URL)
  set(NORVA_SCREENSHOT_URL "${NORVA_PROJECT_URL}/screenshot.png")
endif()
set(NORVA_PROJECT_LICENSE "LicenseRef-proprietary"
  CACHE STRING "SPDX expression of the project's licence (metainfo and copyright file)")
set(NORVA_PACKAGE_MAINTAINER "NORVA-G Viewer developers <norvaviewer@example.org>"
  CACHE STRING "Maintainer of the Debian package, \"Name <address>\"")
set(NORVA_PACKAGE_NAME norvaviewer)
# The day of the release: the changelog's date, and the date printed in the man pages.
set(NORVA_RELEASE_DATE 2026-12-08)
set(NORVA_RELEASE_EPOCH 1796688000)

# Installed directories are world-readable whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

find_program(NORVA_SCDOC scdoc)
if(NOT NORVA_SCDOC)
  message(WARNING "scdoc not found: the man pages are neither built nor installed")
endif()

# Builds SOURCE (scdoc text, @PROJECT_VERSION@ filled in) into a compressed man page and
# installs it in the man section its name ends with.
function(norva_install_man_page source)
  if(NOT NORVA_SCDOC)
    return()
  endif()
  get_filename_component(page ${source} NAME_WLE)
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
  configure_file(${source} ${CMAKE_CURRENT_BINARY_DIR}/${page}.scd @ONLY)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${NORVA_RELEASE_EPOCH}
            sh -c "'${NORVA_SCDOC}' < '${page}.scd' | gzip -9n > '${page}.gz'"
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${page}.scd
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    VERBATIM)
  add_custom_target(man-${page} ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()

# Installs the entry TEMPLATE (a desktop entry, a thumbnailer entry, a service menu) as NAME
# into DESTINATION, its @NORVA_DESKTOP_EXEC@ and @NORVA_DESKTOP_TRYEXEC@ naming PROGRAM (a path
# below the prefix) by its installed path: a desktop then starts it also when the prefix
# (~/.local, /opt/...) is not on PATH. The path is the prefix of the install itself
# (`cmake --install --prefix`), hence written at install time. EXECUTABLE_OUTSIDE_USR makes the
# file executable unless the prefix is /usr: KDE runs a service menu from a user's own folders
# only when it is, and Debian's lintian wants the packaged one plain.
set(NORVA_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
function(norva_install_entry template destination name program)
  cmake_parse_arguments(PARSE_ARGV 4 arg "EXECUTABLE_OUTSIDE_USR" "" "")
  set(executable "")
  if(arg_EXECUTABLE_OUTSIDE_USR)
    set(executable "if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(permissions PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
    endif()")
  endif()
  install(CODE "
    set(NORVA_DESKTOP_TRYEXEC \"\${CMAKE_INSTALL_PREFIX}/${program}\")
    include(\"${NORVA_PACKAGING_DIR}/DesktopExec.cmake\")
    # One folder per destination: installs into two prefixes at once do not share the file.
    string(MD5 destination \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    set(entry \"${CMAKE_CURRENT_BINARY_DIR}/entries-\${destination}/${name}\")
    configure_file(\"${template}\" \"\${entry}\" @ONLY)
    set(permissions)
    ${executable}
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${destination}\"
      TYPE FILE FILES \"\${entry}\" \${permissions})
  ")
endfunction()

# Debian's copyright and changelog files, which every package carries.
set(NORVA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${NORVA_PACKAGE_NAME})
if(NORVA_PROJECT_LICENSE STREQUAL "LicenseRef-proprietary")
  set(NORVA_LICENSE_TEXT " All rights reserved. No licence to copy, change or pass on this\n software is granted without the written permission of the copyright holders.")
else()
  set(NORVA_LICENSE_TEXT " The text of the licence is at\n https://spdx.org/licenses/${NORVA_PROJECT_LICENSE}.html, and for the licences\n Debian ships in /usr/share/common-licenses/.")
endif()
execute_process(COMMAND date -u -R -d @${NORVA_RELEASE_EPOCH}
  OUTPUT_VARIABLE NORVA_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${PROJECT_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nkf changelog
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
add_custom_target(package-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${NORVA_DOC_DIR})

# The Debian package: norvaviewer_VERSION_ARCH.deb, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${NORVA_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "NORVA-G Viewer developers")
set(CPACK_PACKAGE_CONTACT ${NORVA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for signed NORVA-G radio measurement logs")
set(CPACK_PACKAGE_DESCRIPTION
  "NORVA-G Viewer opens the signed measurement logs (.ktz) of the NORVA-G radio
measurement system, which measures GSM and GSM-R reception in eight antenna
directions. It checks each log's signature and shows the log's text, a polar
chart of the reception over the eight directions and, for one direction, a bar
chart and the text lines of the received cells.

The package also holds norva-inspect, which checks logs without a window,
single files or whole folders on several threads, and reports them as text,
JSON or CSV for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Install with DESTDIR, so the install rules see the final prefix (the desktop entry
# names the program by its installed path).
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${NORVA_PROJECT_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# No maintainer scripts: the file triggers of shared-mime-info, desktop-file-utils,
# the icon cache and man-db refresh their databases when dpkg installs or removes files
# in the folders they watch.
include(CPack)
