# Writes README-windows.txt for the Windows zip: the installation part of docs/windows.md
# (layout, data source, credential store, simulator) with CR LF line ends.
#   cmake -DSOURCE=docs/windows.md -DOUTPUT=README-windows.txt -DVERSION=x.y.z -P windows_readme.cmake
file(READ "${SOURCE}" text)
set(heading "## An installation on Windows")
string(FIND "${text}" "${heading}" start)
if(start LESS 0)
  message(FATAL_ERROR "windows_readme: '${heading}' not found in ${SOURCE}")
endif()
string(SUBSTRING "${text}" ${start} -1 text)
string(PREPEND text "kestalentry ${VERSION} for Windows (64-bit)\n\n")
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
