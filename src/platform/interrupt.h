// Stop requests during the terminal stage: while armed, SIGTERM and SIGINT (console
// control events on Windows) wake every socket wait instead of ending the process.
#pragma once

#include <cstdint>

// The code a socket wait reports when a stop request woke it (WSAEINTR).
inline constexpr std::int32_t kInterruptedCode = 10004;

// Installs the handlers; a signal the process was started ignoring stays ignored.
void interrupt_arm();
// Puts the earlier handlers back: from here a signal takes its usual course.
void interrupt_disarm();
// The number of the signal that asked the run to stop, 0 when none did.
int interrupt_signal();
// POSIX: a descriptor that turns readable on a stop request, for polls beside a
// socket; -1 when none (never armed, or Windows).
int interrupt_wake_fd();
