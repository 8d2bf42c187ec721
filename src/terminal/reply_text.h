// The printable form of a terminal reply: control bytes become visible escapes, so a
// reply can neither add lines to the run log nor move the console's last line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `text` with every control byte (0x00 to 0x1F and 0x7F) written as "\x" and two hex
// digits, except a CR LF that starts at `line_end`: the reply's own closing line end,
// when `text` holds it. Text without control bytes comes back unchanged.
std::string printable_reply(std::string_view text, std::size_t line_end = std::string_view::npos);
// The same, appended to `out`, so a caller can reuse one buffer for every reply.
void append_printable_reply(std::string& out, std::string_view text,
                            std::size_t line_end = std::string_view::npos);
