// Console output: bytes go to standard output unchanged (Windows-1252 texts stay
// single bytes); only the platform's text-mode line end translation applies.
#pragma once

#include <string_view>

void console_write(std::string_view bytes);
