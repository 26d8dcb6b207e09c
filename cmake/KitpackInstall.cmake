# kitpack installs as a tool: `cmake --install BUILD --prefix P` gives
# P/bin/kitpack and its manual page P/share/man/man1/kitpack.1, and nothing
# else. kitpack carries SETUP.EXE inside and reads nothing of the build tree
# or the prefix, so the installed program works from anywhere.
include(GNUInstallDirs)
install(TARGETS kitpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/kitpack.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A Debian package of the same: `cpack --config BUILD/CPackConfig.cmake`.
if(NOT WIN32)
  set(QV_PACKAGE_CONTACT "Quenvar 98 setup team <setup@quenvar98.invalid>"
      CACHE STRING "the maintainer named in kitpack's Debian package")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME kitpack)
  set(CPACK_PACKAGE_VENDOR "Quenvar 98")
  set(CPACK_PACKAGE_CONTACT ${QV_PACKAGE_CONTACT})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "builds the setup medium of the Quenvar 98 kit")
  set(CPACK_PACKAGE_DESCRIPTION
      "kitpack packs a kit folder into the compressed payload that the Quenvar 98 setup program installs, and lays out the medium, as a folder or a CD image, with the SETUP.EXE it carries.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # The libraries it loads (libisofs, zlib, the C++ runtime), as
  # dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  include(CPack)
endif()
