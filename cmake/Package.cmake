# What a desktop system needs besides the two programs: the manual pages, the shell completion, the
# icon at every size, the AppStream data and the Debian documentation files, installed with the
# rest; then `cpack -G DEB` (or `cmake --build build --target package`) in the build folder makes
# vorlino_<version>_amd64.deb with the prefix /usr.
include(GNUInstallDirs)

# ---- generated files --------------------------------------------------------------------------
# The completion lists the picture types of the program's own tables, filled in by a small tool.
add_executable(vorlino_format_lists ${PROJECT_SOURCE_DIR}/packaging/format_lists.cpp)
target_compile_options(vorlino_format_lists PRIVATE ${VORLINO_WARNINGS})
target_link_libraries(vorlino_format_lists PRIVATE vorlino_core)

set(VORLINO_PACKAGE_OUT ${CMAKE_BINARY_DIR}/package-files)
set(VORLINO_COMPLETION ${VORLINO_PACKAGE_OUT}/vorlino-cli)
add_custom_command(OUTPUT ${VORLINO_COMPLETION}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VORLINO_PACKAGE_OUT}
  COMMAND vorlino_format_lists ${PROJECT_SOURCE_DIR}/cli/vorlino-cli.bash.in ${VORLINO_COMPLETION}
  DEPENDS vorlino_format_lists ${PROJECT_SOURCE_DIR}/cli/vorlino-cli.bash.in
  COMMENT "Filling the shell completion with the picture types")

# Debian wants manual pages and the changelog compressed at the highest level, without a time
# stamp (so that rebuilding gives the same bytes).
find_program(VORLINO_GZIP gzip REQUIRED)
set(VORLINO_MAN_PAGES ${PROJECT_SOURCE_DIR}/src/app/vorlino.1 ${PROJECT_SOURCE_DIR}/cli/vorlino-cli.1)
set(VORLINO_GZIPPED)
foreach(source ${VORLINO_MAN_PAGES} ${PROJECT_SOURCE_DIR}/packaging/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${VORLINO_PACKAGE_OUT}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VORLINO_PACKAGE_OUT}
    COMMAND ${VORLINO_GZIP} -9nc ${source} > ${VORLINO_PACKAGE_OUT}/${name}.gz
    DEPENDS ${source}
    COMMENT "Compressing ${name}")
  list(APPEND VORLINO_GZIPPED ${VORLINO_PACKAGE_OUT}/${name}.gz)
endforeach()
add_custom_target(vorlino_package_files ALL DEPENDS ${VORLINO_COMPLETION} ${VORLINO_GZIPPED})

# The programs as a distribution builds them: relocations read-only once loaded.
target_link_options(vorlino PRIVATE -Wl,-z,relro,-z,now)
target_link_options(vorlino-cli PRIVATE -Wl,-z,relro,-z,now)

# ---- installed files --------------------------------------------------------------------------
install(FILES ${VORLINO_PACKAGE_OUT}/vorlino.1.gz ${VORLINO_PACKAGE_OUT}/vorlino-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VORLINO_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The 256-pixel icon is installed with the program (src/app); here the other sizes and the SVG.
foreach(size 16 22 24 32 48 64 128)
  install(FILES ${PROJECT_SOURCE_DIR}/desktop/icons/vorlino-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vorlino.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/desktop/vorlino.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/org.vorlino.vorlino.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${VORLINO_PACKAGE_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorlino)

# ---- the Debian package -----------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlino)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vorlino authors")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vorlino authors <authors@vorlino.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from dpkg-shlibdeps. Qt finds its windowing plugin at run time, which no
# linker records, so that package is named here; opening the guide goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "frame photographs with a decorative mask")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vorlino pulls every pixel of a photograph towards a chosen colour in proportion
to how dark a grey-scale mask is at that point: vignettes, soft frames and torn
edges. The mask is stretched to the photo or repeated as tiles, and can be
softened, reduced to two tones, inverted and turned.

The window opens about forty picture types, saves BMP, RLE, GIF, JPEG, PNG,
TIFF and Targa, prints, resizes and keeps an undo list; its texts are in
French, or in English for an English desktop. The command-line tool
vorlino-cli frames whole folders with the same results.")
include(CPack)

# ---- checks -----------------------------------------------------------------------------------
# The package made and checked with the system's tools (skipped when one of them is missing).
# Not for instrumented builds: their programs need the sanitizer runtime and report the leaks of
# the libraries at exit.
if(NOT VORLINO_SANITIZE AND NOT VORLINO_FUZZ)
  add_test(NAME package_deb
           COMMAND ${PROJECT_SOURCE_DIR}/tests/package/check_package.sh ${CMAKE_BINARY_DIR}
                   ${PROJECT_SOURCE_DIR})
  set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()
# The manual pages and the completion against the help text, and the completion at work.
add_test(NAME cli_manual
         COMMAND ${PROJECT_SOURCE_DIR}/tests/cli/check_manual.sh $<TARGET_FILE:vorlino-cli>
                 ${PROJECT_SOURCE_DIR} ${VORLINO_COMPLETION})
set_tests_properties(cli_manual PROPERTIES TIMEOUT 120)
