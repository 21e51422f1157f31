# What an installed tree holds besides the library and kxpackage: the
# pkg-config file, the manual page, the Python module and the Debian
# package documents; and `cpack -G DEB` (make package) making a Debian
# package of all of it.

# pkg-config --cflags --libs kxdatapackage. The prefix is the one installed
# into (cmake --install --prefix, or /usr in the Debian package).
set(KX_PC_PREFIX "@KX_PC_PREFIX@")
configure_file(${CMAKE_SOURCE_DIR}/cmake/kxdatapackage.pc.in
  ${CMAKE_BINARY_DIR}/kxdatapackage.pc.template @ONLY)
install(CODE "set(KX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${CMAKE_BINARY_DIR}/kxdatapackage.pc.template\"
                 \"${CMAKE_BINARY_DIR}/kxdatapackage.pc\" @ONLY)")
install(FILES ${CMAKE_BINARY_DIR}/kxdatapackage.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# kxpackage(1), and the changelog, compressed as Debian wants them
# (reproducibly: no name or time in the gzip header).
set(KX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kxdatapackage)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
set(KX_GZIPPED ${CMAKE_BINARY_DIR}/kxpackage.1.gz ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${KX_GZIPPED}
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/tools/kxpackage/kxpackage.1 > kxpackage.1.gz
  COMMAND gzip -9 -n -c changelog > changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/kxpackage/kxpackage.1 ${CMAKE_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(kx_docs ALL DEPENDS ${KX_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/kxpackage.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION ${KX_DOC_DIR})

# The Debian package. Its dependencies come from what the binaries link
# (dpkg-shlibdeps); python3 for the module.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kxdatapackage)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kxdatapackage developers <kxdatapackage@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns phone application data into JSON data packages")
set(CPACK_PACKAGE_DESCRIPTION
  "kxdatapackage reads the data files of phone applications (Android databases,
iOS backup folders) and writes normalised JSON documents of their messages,
contacts, calls, notes and photos; older copies of a database are merged in
and the records only they hold are tagged deleted.
.
This package holds the shared library with its C header, pkg-config file and
CMake package, the field configuration, the command-line tool kxpackage and
the Python module kxdatapackage.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3")
# The shlibs file, the ldconfig trigger and the maintainer scripts are ours:
# CPack's would run ldconfig from the scripts, as Debian no longer does.
# Without a postrm, dpkg -r leaves nothing of the package behind.
configure_file(${CMAKE_SOURCE_DIR}/packaging/shlibs.in ${CMAKE_BINARY_DIR}/debian/shlibs @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst
  ${CMAKE_SOURCE_DIR}/packaging/prerm ${CMAKE_SOURCE_DIR}/packaging/triggers
  ${CMAKE_BINARY_DIR}/debian/shlibs)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebWithoutPostrm.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/deb)
include(CPack)
