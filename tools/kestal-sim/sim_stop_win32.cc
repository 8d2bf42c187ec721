// Stop requests on Windows: the console's Ctrl-C, Ctrl-Break and close events set a
// flag that the server loop looks at between its waits.
#include <windows.h>

#include "sim_stop.h"

namespace {

volatile LONG stop_requested = 0;

BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      InterlockedExchange(&stop_requested, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void sim_install_stop_handlers() {
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool sim_stop_requested() {
  return InterlockedCompareExchange(&stop_requested, 0, 0) != 0;
}

long sim_process_id() {
  return static_cast<long>(GetCurrentProcessId());
}
