// The run's outcome line for a supervising program: written to the descriptor named
// by KESTAL_OUTCOME_FD, and nowhere when that names none.
#pragma once

#include <string_view>

// Writes `line` whole in one write where possible; any failure is silent, since the
// run's own results do not depend on the supervisor reading it.
void outcome_write(std::string_view line);
