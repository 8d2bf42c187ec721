# Writes the page's style sheet and script into a C++ header as raw string literals, so
# they stay plain .css and .js files in the tree. Run as:
#   cmake -DOUT=header.h -DSTYLE=fleet_page.css -DSCRIPT=fleet_page.js -P embed_assets.cmake
set(delimiter "kestal_asset")
set(text "// Generated from fleet_page.css and fleet_page.js by embed_assets.cmake; do not edit.\n")
string(APPEND text "#pragma once\n\n#include <string_view>\n")
foreach(pair "kPageStyle=${STYLE}" "kPageScript=${SCRIPT}")
  string(REGEX MATCH "^[^=]+" name "${pair}")
  string(REGEX REPLACE "^[^=]+=" "" path "${pair}")
  file(READ "${path}" content)
  string(FIND "${content}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${path} contains the literal's end )${delimiter}\"")
  endif()
  string(APPEND text "\ninline constexpr std::string_view ${name} = R\"${delimiter}(${content})${delimiter}\";\n")
endforeach()
# Rewrite only on change, so the sources that include it are not rebuilt needlessly.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUT}" "${text}")
endif()
