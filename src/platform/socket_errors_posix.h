// Translation of POSIX errno values and resolver results into Windows Sockets codes,
// so the POSIX socket layer reports the numbers the Windows build would.
#pragma once

#include <cstdint>

std::int32_t net_code_from_errno(int error_number);
// `eai` is a getaddrinfo result; EAI_SYSTEM is read through `error_number`.
std::int32_t net_code_from_lookup(int eai, int error_number);
