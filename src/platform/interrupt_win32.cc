// Stop requests on Windows: a console control handler notes the event; socket waits
// are cut into short slices and look at the note between them.
#include <windows.h>

#include <atomic>
#include <csignal>

#include "platform/interrupt.h"

namespace {

std::atomic<int> g_signal{0};
bool g_armed = false;

BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      g_signal = SIGINT;
      return TRUE;
    case CTRL_BREAK_EVENT:
      g_signal = SIGBREAK;
      return TRUE;
    case CTRL_CLOSE_EVENT:
      g_signal = SIGTERM;
      // The process ends when this returns: leave the run time to write its end mark.
      ::Sleep(2000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void interrupt_arm() {
  if (!g_armed) g_armed = ::SetConsoleCtrlHandler(on_console_event, TRUE) != 0;
}

void interrupt_disarm() {
  if (g_armed) ::SetConsoleCtrlHandler(on_console_event, FALSE);
  g_armed = false;
}

int interrupt_signal() {
  return g_signal;
}

int interrupt_wake_fd() {
  return -1;
}
