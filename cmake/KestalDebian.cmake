# The Debian package (cpack -G DEB in the build folder): stripped programs, the manual
# pages, a machine-readable copyright file and the changelog, checked with lintian.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(kestal_changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${kestal_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
  COMMAND sh -c "gzip -9nc <\"$1\" >\"$2\"" sh ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
          ${kestal_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
  VERBATIM)
add_custom_target(kestal_changelog ALL DEPENDS ${kestal_changelog})
install(FILES ${kestal_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_CONTACT "kestalentry developers <dev@kestalentry.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "pushes registry entries to a terminal and records the transfer in its status row")
# Lines of under 80 characters: CPack copies them into the control file as they are.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "kestalentry sends a set of configuration entries (a type, a name and a\n"
  "value each) to one terminal device over a TCP line protocol on port 5010\n"
  "and records the course of the transfer in the terminal's status row of a\n"
  "central database, reached through ODBC. Its caller learns the outcome from\n"
  "the last line of output, the exit code and the status row.\n"
  "\n"
  "The package also holds kestal-cred, which writes the enciphered credential\n"
  "store the tool reads its database login from; kestal-sim, a terminal\n"
  "simulator for trying transfers; a SQLite extension that provides the\n"
  "VXSYSTEM schema name; the database schemas for PostgreSQL and SQLite; and\n"
  "example entry definition files.")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, sqlite3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql")
if(TARGET kestal-fleet)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "\n\n"
    "kestal-fleet pushes to many terminals at once, here or on other machines\n"
    "through ssh, with live progress, a recap per terminal, retries, a dry run,\n"
    "JSON lines and an HTML page; PgBouncer lets many runs share few database\n"
    "connections.")
  string(APPEND CPACK_PACKAGE_DESCRIPTION "\n"
    "A systemd timer (not enabled) pushes every night, keeps a history and\n"
    "writes metrics for node_exporter's textfile collector.")
  # The scheduled push: template units, the program they start, an example setting.
  set(kestal_systemd ${PROJECT_SOURCE_DIR}/cmake/systemd)
  install(FILES ${kestal_systemd}/kestal-fleet-push@.service ${kestal_systemd}/kestal-fleet-push@.timer
          DESTINATION lib/systemd/system)
  install(PROGRAMS ${kestal_systemd}/kestal-fleet-push DESTINATION lib/kestalentry)
  install(FILES ${kestal_systemd}/push-nightly.conf
                ${PROJECT_SOURCE_DIR}/examples/kestal-fleet-alerts.yml
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  string(APPEND CPACK_DEBIAN_PACKAGE_SUGGESTS ", pgbouncer, openssh-client")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# CPack's own dependency scan would also add ldconfig calls for the private extension in
# /usr/lib/kestalentry; the pre-build script runs dpkg-shlibdeps without them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_KESTAL_DEPENDS "unixodbc")
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_shlibdeps.cmake)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_GENERATOR DEB)
