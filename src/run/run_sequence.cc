// The run of one transfer, from the command line to the last line of output.
#include "run/run_sequence.h"

#include <functional>
#include <memory>

#include "db/database.h"
#include "db/status_row.h"
#include "entries/entry_table.h"
#include "log/format.h"
#include "log/timestamp.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "run/database_rows.h"
#include "run/run_context.h"
#include "settings/credentials.h"
#include "settings/text.h"
#include "terminal/dialogue.h"
#include "terminal/reply_text.h"
#include "terminal/terminal_socket.h"

namespace {

constexpr std::uint16_t kTerminalPort = 5010;
constexpr std::int32_t kTerminalTimeoutSeconds = 30;
constexpr const char* kTransferName = "Registry";
constexpr std::int16_t kTransferType = 40;
constexpr std::int32_t kArgumentError = 91;

struct ArgumentCheck {
  bool failed;
  const char* console;
  const char* log;
};

// Checks the arguments in their fixed order; fills `run` when they pass.
ArgumentCheck check_arguments(const std::vector<std::string>& arguments, RunContext& run) {
  if (arguments.size() < 3)
    return {true, "fehlender Parameter\n", "falsche Parameteranzahl --> Abbruch"};
  if (arguments[0].size() > 50)
    return {true, "Benutzername zu lang !!!\n", "Benutzername zu lang --> Abbruch"};
  if (arguments[1].size() > 255)
    return {true, "Terminalname zu lang !!!\n", "Terminalname zu lang --> Abbruch"};
  if (arguments[2].size() > 4) return {true, "falscher Modus !!!\n", "falscher Modus --> Abbruch"};
  run.run_user = arguments[0];
  run.terminal_name = arguments[1];
  run.mode = arguments[2];
  text_upper(run.mode);
  if (arguments.size() > 3) {
    std::string option = arguments[3];
    run.verbose = text_upper(option) == "/D";
  }
  return {false, nullptr, nullptr};
}

// Resolves and connects the terminal; 0 or the connection code for the status row.
std::int32_t connect_terminal(TerminalSocket*& socket, const RunContext& run,
                              const Report& report) {
  std::int32_t code = 0;
  socket = tsock_create(code);
  if (socket == nullptr) {
    report.log_line(text_printf("Fehler beim Erzeugen Socket : %d", code));
    report.print_verbose(text_printf("Socket-Error: %d\n", code));
    return code;
  }
  code = tsock_set_host(socket, run.terminal_name);
  if (code != 0) {
    report.print("Terminal nicht gefunden!\n");
    return code;
  }
  tsock_set_port(socket, kTerminalPort);
  code = tsock_set_timeout(socket, kTerminalTimeoutSeconds);
  if (code != 0) return code;
  report.print_verbose("Start Socket\n\n");
  if (tsock_connect(socket) != 0) {
    code = tsock_last_error(socket);
    report.print_verbose(text_printf("SocketOpen-Error: %d", code));
    return code;
  }
  return 0;
}

// The reply the caller reads from the last line: whole for 200 and 250, else its code.
std::string final_reply_text(const std::string& last_reply) {
  if (last_reply.empty()) return last_reply;
  if (last_reply.compare(0, 3, "250") == 0 || last_reply.compare(0, 3, "200") == 0)
    return last_reply;
  return last_reply.substr(0, 3);
}

// The status row's timestamp text.
std::string row_time(TimestampBuffer& timestamp) {
  return timestamp_text(timestamp, "yyyymmddhhminss");
}

// A failed status-row update: always in the run log, since a row left at TrmDac 1
// must leave a trace even without /D; on the console with /D.
void report_status_failure(const Report& report, std::int32_t status, const char* before = "") {
  if (status == 0) return;
  report.log_line(text_printf("Fehler Schreiben Vxs1140Trm : %d\n", status));
  report.print_verbose(before + status_failure_text(status));
}

// The run log's opening lines and the argument check; 0 or the exit status 91.
std::int32_t start_run(const std::vector<std::string>& arguments, RunContext& run,
                       TimestampBuffer& timestamp, Report& report) {
  report.log_line("\n\n========================================>");
  report.log_line(text_printf("Start : %s", timestamp_text(timestamp, "ddmmyyyyhhminss").c_str()));
  ArgumentCheck check = check_arguments(arguments, run);
  if (check.failed) {
    report.print(check.console);
    report.log_line(check.log);
    return kArgumentError;
  }
  report.verbose = run.verbose;
  return 0;
}

// Connects with the credential store's settings; 0 or the connect status.
std::int32_t open_database(DatabaseConnection& db, DatabaseSettings& settings,
                           const Report& report) {
  settings = read_database_settings(credential_store_path());
  std::int32_t status = db_connect(db, settings.user_name, settings.password, settings.data_source);
  if (status != 0) {
    report_connect_failure(settings, status, report);
    report.log_line(text_printf("DbConnect-Fehler %d   --> Abbruch", status));
    return status;
  }
  report.print_verbose("DbConnect\n");
  return 0;
}

// What the run holds from the command line to the end: the database connection is
// never closed, it ends with the process.
struct RunSetup {
  TimestampBuffer timestamp;
  RunContext run;
  DatabaseConnection db;
  DatabaseSettings settings;
  EntryTable table;
};

// Writes a code into the status row's TrmDst; 0 or the update's status.
using ProgressWriter = std::function<std::int32_t(std::int32_t code)>;

// The terminal socket closes its connection when its holder lets it go.
using OwnedSocket = std::unique_ptr<TerminalSocket>;

// Connects the terminal and transfers the entries, or records why it could not; true
// when the connection was made.
bool talk_to_terminal(OwnedSocket& socket, Dialogue& dialogue, const EntryTable& table,
                      const ProgressWriter& record, const RunContext& run, const Report& report) {
  TerminalSocket* created = nullptr;
  std::int32_t connection_code = connect_terminal(created, run, report);
  socket.reset(created);
  if (connection_code == 0 && socket) {
    // A failed update during the dialogue shows on the verbose console only.
    StatusRecorder record_quietly = [&](std::int32_t code) {
      std::int32_t status = record(code);
      if (status != 0) report.print_verbose(status_failure_text(status));
    };
    transfer_entries(dialogue, table,
                     TerminalLink{socket.get(), run.terminal_name, report, record_quietly});
    return true;
  }
  report.log_line(text_printf("Socket-Error : %d", connection_code));
  report.print_verbose(text_printf("Socket-Error: %d\n", connection_code));
  dialogue.recorded_code = connection_code;
  report_status_failure(report, record(connection_code));
  return false;
}

// After a stop request the connection goes at once, and the row says 10004 unless it
// already holds a failure of this run; the signal's number, 0 when there was none.
int finish_interrupted(OwnedSocket& socket, Dialogue& dialogue, const ProgressWriter& record,
                       const Report& report) {
  const int signal = interrupt_signal();
  if (signal == 0) return 0;
  if (socket) tsock_close(socket.get());
  report.log_line(text_printf("Abbruch durch Signal %d", signal));
  if (dialogue.recorded_code == 0) {
    dialogue.recorded_code = kInterruptedCode;
    report_status_failure(report, record(kInterruptedCode));
  }
  return signal;
}

// The outcome's word for each step, in the order of EntryStep.
const char* step_word(EntryStep step) {
  static constexpr const char* kWords[] = {
      "-", "mode", "lists", "definition-file", "value-statement", "value-row", "site-table"};
  return kWords[static_cast<std::size_t>(step)];
}

// Everything before the terminal: arguments, database, entry table; 0 or the status
// the run ends with, the outcome's stage and code set to match.
std::int32_t prepare_run(const std::vector<std::string>& arguments, RunSetup& setup, Report& report,
                         RunOutcome& outcome) {
  std::int32_t status = start_run(arguments, setup.run, setup.timestamp, report);
  if (status == 0) {
    outcome.stage = "database";
    status = open_database(setup.db, setup.settings, report);
  }
  if (status == 0) {
    outcome.stage = "entries";
    DatabaseRows rows(setup.db);
    EntryStep failed = EntryStep::kNone;
    const EntryRequest request{setup.run.terminal_name, setup.run.mode, setup.run.verbose};
    status = build_entry_table(
        setup.table, EntrySources{rows, request, setup.settings.database_system, report}, failed);
    outcome.step = step_word(failed);
  }
  outcome.code = status;
  return status;
}

}  // namespace

std::int32_t run_transfer(const std::vector<std::string>& arguments, Report& report,
                          RunOutcome& outcome) {
  RunSetup setup;
  std::int32_t status = prepare_run(arguments, setup, report, outcome);
  if (status != 0) return status;
  const RunContext& run = setup.run;
  DatabaseConnection& db = setup.db;
  outcome.entries = setup.table.size();

  interrupt_arm();
  outcome.row = status_mark_started(db, run.terminal_name, row_time(setup.timestamp), run.run_user,
                                    kTransferName, kTransferType);
  outcome.start_marked = true;
  report_status_failure(report, outcome.row);
  ProgressWriter record = [&](std::int32_t code) {
    return status_set_progress(db, run.terminal_name, row_time(setup.timestamp), code, 0);
  };
  OwnedSocket socket;
  Dialogue dialogue;
  const bool connected = talk_to_terminal(socket, dialogue, setup.table, record, run, report);
  outcome.signal = finish_interrupted(socket, dialogue, record, report);
  report_status_failure(
      report, status_mark_finished(db, run.terminal_name, row_time(setup.timestamp)), "\n");
  interrupt_disarm();

  outcome.stage = !connected ? "connection" : dialogue.logged_in ? "sent" : "login";
  outcome.code = dialogue.recorded_code;
  outcome.sent = dialogue.entries_sent;
  outcome.accepted = dialogue.entries_accepted;
  socket.reset();
  report.log_line("Programm beendet");
  report.print(printable_reply(final_reply_text(dialogue.last_reply)) + "\n");
  return 0;
}
