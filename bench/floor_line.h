// The bytes of the protocol floor: the UPDSYSDB line for one site entry and the
// check of a reply, built exactly as the tool builds and checks them.
#pragma once

#include <string>
#include <string_view>

// "UPDSYSDB <crc> <length> STRING StoNr<index> <value>" followed by CR LF.
std::string updsysdb_line(int index, std::string_view value);

// True when `reply` starts with the three-digit `code`.
bool reply_has_code(std::string_view reply, std::string_view code);
