# The SSH transport of the SFTP session (src/session/ssh_transport.*) comes from libssh2.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBSSH2 REQUIRED IMPORTED_TARGET libssh2)
target_link_libraries(vorlen_session PUBLIC PkgConfig::LIBSSH2)
