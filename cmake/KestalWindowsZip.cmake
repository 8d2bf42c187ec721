# The Windows zip (cpack -G ZIP in the mingw build folder): one installation root with
# the programs in the working directory the fixed relative paths expect, the example
# entry definitions beside them, the schemas, the empty settings and log folders, and
# README-windows.txt.
install(FILES ${PROJECT_SOURCE_DIR}/examples/KESTALENTRY.POSTGRES.INI
              ${PROJECT_SOURCE_DIR}/examples/KESTALENTRY.SQLITE.INI
        DESTINATION ${KESTAL_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/db/postgresql-schema.sql
              ${PROJECT_SOURCE_DIR}/db/sqlite-schema.sql
        DESTINATION db)
# The tool logs nothing while the log folder is missing, so the zip brings it.
install(DIRECTORY DESTINATION Files)
install(DIRECTORY DESTINATION Velmarion_php/log)

set(kestal_readme ${PROJECT_BINARY_DIR}/README-windows.txt)
add_custom_command(OUTPUT ${kestal_readme}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/docs/windows.md
          -DOUTPUT=${kestal_readme} -DVERSION=${PROJECT_VERSION}
          -P ${PROJECT_SOURCE_DIR}/cmake/windows_readme.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/windows.md ${PROJECT_SOURCE_DIR}/cmake/windows_readme.cmake
  VERBATIM)
add_custom_target(kestal_windows_readme ALL DEPENDS ${kestal_readme})
install(FILES ${kestal_readme} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME kestalentry-${PROJECT_VERSION}-win64)
