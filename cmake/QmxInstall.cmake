# cmake --install (and scripts/install PREFIX): qmx in bin/, libqmxbase.so and libqmxmisc.so in
# the library directory, every header of c_src/ in include/, the scoring library's sources and
# package templates in share/qmxmisc/vtcsrc (where qmx package finds them), the manual page
# and the bash completion. Installed binaries find the libraries through $ORIGIN and the
# serial OpenBLAS through its directory (an RPATH from the link path).
include(GNUInstallDirs)
# scripts/install and cpack build what they install first; installing builds nothing more.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set_target_properties(qmx PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
set_target_properties(qmxmisc qmxbase PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(qmx qmxmisc qmxbase PROPERTIES INSTALL_RPATH_USE_LINK_PATH ON)

install(TARGETS qmx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qmxbase qmxmisc LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/c_src/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${QMX_VTCSRC_PACKAGE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/qmxmisc/vtcsrc)
install(FILES ${QMX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QMX_BASH_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME qmx)
# The manifest of what was installed, for uninstalling: xargs rm < install_manifest.txt.

# cpack -G DEB: a Debian package installed under /usr.
set(CPACK_PACKAGE_NAME "qmxmisc")
set(CPACK_PACKAGE_VENDOR "qmxmisc developers")
set(CPACK_PACKAGE_CONTACT "qmxmisc developers <qmxmisc@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Chunked statistics over CSV files larger than memory: the qmx command and its libraries")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libopenblas0-serial | libopenblas0, libxerces-c3.2, zlib1g, libc6, libstdc++6, libgcc-s1")
include(CPack)
