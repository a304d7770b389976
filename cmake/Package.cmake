# The Debian package of the suite: `cpack -G DEB` in the build folder. It
# holds the four programs and gd2topng, the picture and the stand-ins for the outside
# converters in the installation directory, links to the converters and the
# launcher in /usr/bin, the manual pages, the launcher's desktop entry and
# icons, the MIME types of 3DS and C7E0 files, and the copyright and
# changelog. `cmake --install` puts the same files under the prefix.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Converter suite developers <converter-suite@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converters for 3DS models, Windows icons and sounds")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "zelm turns the meshes of a 3D Studio scene file into a C7E0 model file,
cleaned and with face and vertex normals; c7e2txt prints such a file as
text. pngsmith writes every image of Windows icon and cursor files as a
PNG file. Convert is a one-window launcher: drop a file, pick one of 39
targets and click Convert.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "${CONVERTER_SUGGESTS}")
# pngsmith holds libgd's code when it is linked statically: Built-Using names
# the libgd source version, so that a libgd security update is known to need
# a rebuild. CPack has no variable for the field; it is written as a line of
# its own after Suggests.
if(CONVERTER_STATIC_GD)
  execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" libgd-dev
                  OUTPUT_VARIABLE gd_source RESULT_VARIABLE gd_query ERROR_QUIET)
  if(gd_query EQUAL 0 AND gd_source)
    string(APPEND CPACK_DEBIAN_PACKAGE_SUGGESTS "\nBuilt-Using: ${gd_source}")
  endif()
  # lintian flags the embedded copy; the override says it is meant.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
          DESTINATION share/lintian/overrides RENAME ${CPACK_PACKAGE_NAME})
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(packaging ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging}/bin)

# Links on the search path to the converters, by the names users type, and
# to the launcher under a name that ImageMagick's convert does not take.
foreach(pair zelm:zelm.exe c7e2txt:c7e2txt.exe pngsmith:pngsmith converter-launcher:Convert)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 link)
  list(GET pair 1 program)
  # Relative inside the prefix, as Debian wants links within one top-level
  # folder; absolute to a folder elsewhere (/boot/apps/converter).
  set(target ${CONVERTER_INSTALL_DIR}/${program})
  string(FIND "${CONVERTER_INSTALL_DIR}/" "${CMAKE_INSTALL_PREFIX}/" at)
  if(at EQUAL 0)
    file(RELATIVE_PATH target ${CMAKE_INSTALL_FULL_BINDIR} ${target})
  endif()
  file(CREATE_LINK ${target} ${packaging}/bin/${link} SYMBOLIC)
endforeach()
install(DIRECTORY ${packaging}/bin/ DESTINATION bin)

# Manual pages, compressed without timestamps as Debian wants them.
set(pages)
foreach(page zelm c7e2txt pngsmith converter-gd2topng Convert)
  add_custom_command(OUTPUT ${packaging}/${page}.1.gz
                     COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/man/${page}.1 > ${packaging}/${page}.1.gz
                     DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1)
  list(APPEND pages ${packaging}/${page}.1.gz)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${packaging}/changelog @ONLY)
add_custom_command(OUTPUT ${packaging}/changelog.gz
                   COMMAND gzip -9nc ${packaging}/changelog > ${packaging}/changelog.gz
                   DEPENDS ${packaging}/changelog)
add_custom_target(package_files ALL DEPENDS ${pages} ${packaging}/changelog.gz)
install(FILES ${pages} DESTINATION share/man/man1)
file(CREATE_LINK Convert.1.gz ${packaging}/converter-launcher.1.gz SYMBOLIC)
install(FILES ${packaging}/converter-launcher.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${packaging}/changelog.gz
        DESTINATION share/doc/${CPACK_PACKAGE_NAME})

configure_file(${PROJECT_SOURCE_DIR}/packaging/Convert.desktop.in ${packaging}/Convert.desktop @ONLY)
install(FILES ${packaging}/Convert.desktop DESTINATION share/applications)
# 3DS scenes told by their content as well as their name, and C7E0 models.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/converter.xml DESTINATION share/mime/packages)

include(CPack)
