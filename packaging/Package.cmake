# SPDX-License-Identifier: MIT
# Installation and the Debian package. `cmake --install` puts the programs, their help and manual
# pages, the desktop entry, the project file type, the icons and the AppStream metadata under the
# prefix; `cmake --build BUILD --target package` (or scripts/package) makes kovview_<version>_amd64.deb
# of the same files with CPack.
include(GNUInstallDirs)

set(KOV_PACKAGE_MAINTAINER "The Kov View5 for Linux developers <kovview-dev@example.org>"
  CACHE STRING "The Maintainer field of the Debian package")

# ---- files made for installing: what Debian wants compressed, and the copyright file ----------
set(kov_generated ${CMAKE_BINARY_DIR}/packaging)

# gzip -9n: no time stamp or name inside, so the same input gives the same bytes.
function(kov_gzip source output)
  get_filename_component(plain ${output} NAME_WLE)
  add_custom_command(OUTPUT ${kov_generated}/${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${kov_generated}/${plain}
    COMMAND gzip -9nf ${kov_generated}/${plain}
    DEPENDS ${source} VERBATIM)
endfunction()
kov_gzip(${CMAKE_SOURCE_DIR}/packaging/man/kovview.1 kovview.1.gz)
kov_gzip(${CMAKE_SOURCE_DIR}/packaging/man/kovtool.1 kovtool.1.gz)
kov_gzip(${CMAKE_SOURCE_DIR}/packaging/debian/changelog changelog.gz)
add_custom_target(kov_packaging_files ALL DEPENDS
  ${kov_generated}/kovview.1.gz ${kov_generated}/kovtool.1.gz ${kov_generated}/changelog.gz)

# The machine-readable copyright file carries LICENSE itself: its copyright line and its text,
# each line indented by one space and empty lines written " ." as the format asks.
file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE kov_license_lines)
set(KOV_COPYRIGHT_HOLDER "")
set(KOV_LICENSE_BODY "")
set(kov_in_body FALSE)
foreach(line IN LISTS kov_license_lines)
  if(line MATCHES "^Copyright \\(c\\) (.+)$")
    set(KOV_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^Permission")
    set(kov_in_body TRUE)
  endif()
  if(kov_in_body)
    if(line STREQUAL "")
      set(line ".")
    endif()
    string(APPEND KOV_LICENSE_BODY " ${line}\n")
  endif()
endforeach()
string(STRIP "${KOV_LICENSE_BODY}" KOV_LICENSE_BODY)
set(KOV_LICENSE_BODY " ${KOV_LICENSE_BODY}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/copyright.in ${kov_generated}/copyright @ONLY)

# ---- installation --------------------------------------------------------------------------
# The help pages go beside the programs' share folder (share/kovview/help, found relative to bin/).
install(TARGETS kovview kovtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The modules (GDAL, qpdf) are private to the programs, which look for them in
# ../lib/kovview/modules/ from bin/ (not the multiarch library folder: no other program links
# them; and not directly in lib/kovview/, where CPack would take them for public libraries and
# call ldconfig).
install(TARGETS kovgdal kovpdf kovzip kovprint LIBRARY DESTINATION lib/kovview/modules)
install(FILES ${kov_generated}/kovview.1.gz ${kov_generated}/kovtool.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kovview/help
  FILES_MATCHING PATTERN "*.htm")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kovview.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kovview-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kovview.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/jp.vey.kovview.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(kov_icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kovview.png DESTINATION ${kov_icons}/48x48/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kovview128.png
  DESTINATION ${kov_icons}/128x128/apps RENAME kovview.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kovview.svg DESTINATION ${kov_icons}/scalable/apps)
install(FILES ${kov_generated}/copyright ${kov_generated}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kovview)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kovview)

# A plain `cmake --install` into a live system refreshes the desktop's file-type and application
# caches. Staged installs skip it (DESTDIR set: CPack's DEB generator always sets it), so that no
# cache file lands in a package; there the triggers of shared-mime-info, desktop-file-utils and
# hicolor-icon-theme refresh the system's caches when the package is installed or removed.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
    find_program(KOV_UPDATE_MIME update-mime-database)
    find_program(KOV_UPDATE_DESKTOP update-desktop-database)
    if(KOV_UPDATE_MIME)
      execute_process(COMMAND \${KOV_UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\")
    endif()
    if(KOV_UPDATE_DESKTOP)
      execute_process(COMMAND \${KOV_UPDATE_DESKTOP} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
    endif()
  endif()")

# ---- the Debian package --------------------------------------------------------------------
# lintian finds no error and no warning. Its notes (-I) that stay: hardening-no-fortify-functions
# and hardening-no-bindnow (the package takes the project's own compiler flags, those of every
# build and test), binary-has-unneeded-section .comment (CPack strips with plain strip), and
# spelling-error-in-binary (pieces of our texts that the compiler keeps inside instructions: "ment"
# of "segment", "lengH" of "length").
# packaging/debian/lintian-overrides explains the one it silences.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovview)
set(CPACK_PACKAGE_VENDOR "The Kov View5 for Linux developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for Japanese 5 m elevation mesh data")
# Debian shows the description as it is: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
  "Kov View5 composes 5 m elevation mesh tiles, national DEM files, DSM point
files, shapefiles and aerial photos into a project and shows the terrain as a
hill-shaded or banded relief, with the coordinates and the elevation under the
cursor. It measures distances, areas and slopes, draws cross-sections, runs a
simple flood estimate and prints maps at a chosen scale.

The command-line companion kovtool renders, measures, prints and exports the
same data for GIS tools (GeoTIFF, GeoPackage, GeoJSON, shapefiles).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KOV_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages come from dpkg-shlibdeps; beside them what is loaded at run time
# without being linked: the Japanese font of the whole interface, Qt's own dialogs in Japanese,
# Qt's image readers for the overlay formats that Qt Gui lacks (TGA among them), and libcurl,
# opened on the first internet fetch.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n, qt6-image-formats-plugins, libcurl4")
include(CPack)
