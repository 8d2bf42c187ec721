// printf-style formatting into a std::string, for the tool's fixed message texts.
// Texts of any length are formatted whole.
#pragma once

#include <string>

std::string text_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
