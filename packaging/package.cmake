# What the installed program consists of, and the Debian package CPack makes of it
# (scripts/package.sh). Everything takes its version from the project() call.
include(GNUInstallDirs)

# The changelog wants the release day in the mail form ("Wed, 09 Dec 2026 12:00:00 +0000").
execute_process(COMMAND env LC_ALL=C date -u -R -d "${VORLEN_RELEASE_DATE} 12:00 UTC"
                OUTPUT_VARIABLE VORLEN_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE)
set(vorlen_pkg_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/vorlen.1.in ${vorlen_pkg_dir}/vorlen.1 @ONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog.in ${vorlen_pkg_dir}/changelog @ONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/org.vorlenftp.VorlenFTP.metainfo.xml.in
               ${vorlen_pkg_dir}/org.vorlenftp.VorlenFTP.metainfo.xml @ONLY)
# Debian keeps manual pages and changelogs compressed, reproducibly (-n: no name or time).
foreach(file vorlen.1 changelog)
  add_custom_command(OUTPUT ${vorlen_pkg_dir}/${file}.gz
    COMMAND gzip -9nc ${vorlen_pkg_dir}/${file} > ${vorlen_pkg_dir}/${file}.gz
    DEPENDS ${vorlen_pkg_dir}/${file} VERBATIM)
endforeach()
add_custom_target(vorlen_package_files ALL DEPENDS ${vorlen_pkg_dir}/vorlen.1.gz ${vorlen_pkg_dir}/changelog.gz)

install(TARGETS vorlen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/vorlen-ftp.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/vorlen-ftp.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${vorlen_pkg_dir}/org.vorlenftp.VorlenFTP.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${vorlen_pkg_dir}/vorlen.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright ${vorlen_pkg_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorlen-ftp)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlen-ftp)
set(CPACK_PACKAGE_VENDOR "The Vorlen FTP developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file-transfer client for a web site on a hosted server")
# The extended description under the summary (CPack indents it).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vorlen FTP logs in to saved sites over FTP (directly, through an FTP proxy or\nSOCKS, plain or over TLS) or SFTP, shows the local and remote folders side by\nside and moves files and whole trees with retries and resumption. It reads\nUnix, Windows and z/OS listings, runs transfer scripts unattended, keeps the\nprocmail recipe on the server and turns web access logs into CSV.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vorlen FTP developers <developers@vorlen-ftp.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vorlen-ftp_VERSION_ARCH.deb
# The libraries from the binary itself; the programs it runs by name beside them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# gzip is essential, so versioned; ssh carries every SFTP session.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gzip (>= 1.6), openssh-client")
set(CPACK_STRIP_FILES ON)  # no debugging information in the package
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
