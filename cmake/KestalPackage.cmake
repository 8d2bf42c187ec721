# Installation and packages: the data files, the manual pages and CPack's settings for
# the Debian package (Linux) or the zip (Windows).
include(${CMAKE_CURRENT_LIST_DIR}/KestalManPages.cmake)

set(CPACK_PACKAGE_NAME kestalentry)
set(CPACK_PACKAGE_VENDOR "kestalentry developers")
# The build folder keeps the debug information; the packages carry stripped programs.
set(CPACK_STRIP_FILES ON)
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/KestalWindowsZip.cmake)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/db/postgresql-schema.sql
                ${PROJECT_SOURCE_DIR}/db/sqlite-schema.sql
          DESTINATION ${CMAKE_INSTALL_DATADIR}/kestalentry/db)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/KESTALENTRY.POSTGRES.INI
                ${PROJECT_SOURCE_DIR}/examples/KESTALENTRY.SQLITE.INI
          DESTINATION ${CMAKE_INSTALL_DATADIR}/kestalentry/examples)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/ARCHITECTURE.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  include(${CMAKE_CURRENT_LIST_DIR}/KestalDebian.cmake)
endif()
include(CPack)
