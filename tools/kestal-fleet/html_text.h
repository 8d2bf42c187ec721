// Text for the fleet page: outside texts (Windows-1252 bytes) and our own UTF-8 texts
// escaped so that no byte sequence can become markup on the page.
#pragma once

#include <string>
#include <string_view>

// Escapes UTF-8 text for element content and quoted attribute values; control
// characters become their visible control pictures (a NUL shows as U+2400).
std::string html_escape(std::string_view utf8);

// Windows-1252 bytes from outside, decoded and escaped.
std::string html_text(std::string_view cp1252);

// Windows-1252 bytes from outside as the UTF-8 characters the page shows, control
// characters as their pictures; not escaped (for the page's data block).
std::string visible_text(std::string_view cp1252);
