# CPack pre-build script: sets the package's Depends from dpkg-shlibdeps over the staged
# ELF files, plus the fixed dependencies in CPACK_KESTAL_DEPENDS.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
set(elf_files "")
foreach(file IN LISTS staged)
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    list(APPEND elf_files "${file}")
  endif()
endforeach()
if(NOT elf_files)
  message(FATAL_ERROR "deb_shlibdeps: no ELF file in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()

# dpkg-shlibdeps wants a debian/control beside it; an empty one is enough.
set(work "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(MAKE_DIRECTORY "${work}/debian")
file(WRITE "${work}/debian/control" "")
execute_process(COMMAND dpkg-shlibdeps -O ${elf_files}
  WORKING_DIRECTORY "${work}"
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR NOT output MATCHES "^shlibs:Depends=(.+)$")
  message(FATAL_ERROR "deb_shlibdeps: dpkg-shlibdeps failed (${status}): ${errors}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_KESTAL_DEPENDS}, ${CMAKE_MATCH_1}")
