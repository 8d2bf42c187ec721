# Manual pages: one scdoc source each in docs/man/, turned into gzipped roff at build
# time and installed under man1 (Linux only; the Windows zip carries README-windows.txt).
option(KESTAL_MAN "Build and install the manual pages (needs scdoc)" ON)

# Adds NAME.1.gz, built from docs/man/NAME.1.scd, to the manual pages and the install.
function(kestal_man_page name)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${name}.1.scd)
  set(page ${PROJECT_BINARY_DIR}/man/${name}.1)
  # Two steps, so that a failing scdoc fails the build instead of gzip hiding it.
  add_custom_command(OUTPUT ${page}.gz
    COMMAND sh -c "\"$1\" <\"$2\" >\"$3\"" sh ${KESTAL_SCDOC} ${source} ${page}
    COMMAND gzip -9nf ${page}
    DEPENDS ${source}
    COMMENT "Generating manual page ${name}(1)"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY KESTAL_MAN_PAGES ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(KESTAL_MAN AND NOT WIN32)
  find_program(KESTAL_SCDOC scdoc)
  if(NOT KESTAL_SCDOC)
    message(FATAL_ERROR "scdoc is needed for the manual pages: install it "
                        "(scripts/install-deps.sh does) or configure with -DKESTAL_MAN=OFF")
  endif()
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
  kestal_man_page(kestalentry)
  kestal_man_page(kestal-cred)
  kestal_man_page(kestal-sim)
  # The fleet tool is Linux only and may be absent from a tree.
  if(TARGET kestal-fleet)
    kestal_man_page(kestal-fleet)
  endif()
  get_property(pages GLOBAL PROPERTY KESTAL_MAN_PAGES)
  add_custom_target(kestal_man_pages ALL DEPENDS ${pages})
endif()
