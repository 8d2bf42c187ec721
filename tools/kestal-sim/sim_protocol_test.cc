// Tests of kestal-sim's protocol side and command line, without any sockets.
#include "sim_protocol.h"

#include <gtest/gtest.h>

#include "sim_options.h"

namespace {

// Logs in and returns the session ready for UPDSYSDB lines.
SimSession logged_in(const SimOptions& options) {
  SimSession session;
  EXPECT_EQ(sim_handle_line(session, "USER Supervisor\r", options).reply.substr(0, 4), "331 ");
  EXPECT_EQ(sim_handle_line(session, "PASS m3k8r2p9w4tzqh\r", options).reply.substr(0, 4), "230 ");
  return session;
}

std::string code_of(const SimAction& action) {
  return action.reply.substr(0, 3);
}

}  // namespace

TEST(SimProtocol, CrcMatchesTheCheckValue) {
  EXPECT_EQ(sim_crc16("123456789"), 0xBB3D);
  EXPECT_EQ(sim_crc16("STRING StoNr30 00030"), 0x02E7);
}

TEST(SimProtocol, LoginAnswersAndMasksThePassword) {
  SimOptions options;
  SimSession session;
  EXPECT_EQ(sim_greeting(options), "200 kestal-sim terminal ready\r\n");
  EXPECT_EQ(code_of(sim_handle_line(session, "PASS m3k8r2p9w4tzqh\r", options)), "503");
  EXPECT_EQ(code_of(sim_handle_line(session, "USER someone\r", options)), "530");
  EXPECT_EQ(code_of(sim_handle_line(session, "UPDSYSDB 0 0 \r", options)), "530");
  EXPECT_EQ(code_of(sim_handle_line(session, "USER Supervisor\r", options)), "331");
  SimAction wrong = sim_handle_line(session, "PASS guess\r", options);
  EXPECT_EQ(code_of(wrong), "530");
  EXPECT_EQ(wrong.seen, "PASS **********");
  logged_in(options);

  options.faults.reject_password = true;
  sim_handle_line(session, "USER Supervisor\r", options);
  EXPECT_EQ(code_of(sim_handle_line(session, "PASS m3k8r2p9w4tzqh\r", options)), "530");
  options.faults.no_greeting = true;
  EXPECT_EQ(sim_greeting(options), "");
}

TEST(SimProtocol, EntryLinesAreCheckedAgainstTheirText) {
  SimOptions options;
  SimSession session = logged_in(options);
  SimAction ok = sim_handle_line(session, "UPDSYSDB 2e7 20 STRING StoNr30 00030\r", options);
  EXPECT_EQ(code_of(ok), "200");
  EXPECT_TRUE(ok.accepted);
  EXPECT_EQ(ok.accepted_entry, "STRING StoNr30 00030");

  const char* refused[] = {
      "UPDSYSDB 02e7 20 STRING StoNr30 00030\r",  // leading zero
      "UPDSYSDB 2E7 20 STRING StoNr30 00030\r",   // upper case
      "UPDSYSDB 2e8 20 STRING StoNr30 00030\r",   // wrong CRC
      "UPDSYSDB 2e7 21 STRING StoNr30 00030\r",   // wrong length
      "UPDSYSDB 2e7 20 STRING StoNr30 00031\r",   // text changed
  };
  for (const char* line : refused) {
    SimAction a = sim_handle_line(session, line, options);
    EXPECT_EQ(code_of(a), "502") << line;
    EXPECT_FALSE(a.accepted);
  }
  const char* malformed[] = {"UPDSYSDB\r", "UPDSYSDB 2e7\r", "UPDSYSDB xyz 20 a\r",
                             "UPDSYSDB 2e7 2x a\r", "UPDSYSDBX 1 1 a\r"};
  for (const char* line : malformed)
    EXPECT_EQ(code_of(sim_handle_line(session, line, options)), "501") << line;

  EXPECT_EQ(code_of(sim_handle_line(session, "UPDSYSDB 2e7 20 STRING StoNr30 00030", options)),
            "500");  // no CR before the LF
  EXPECT_EQ(code_of(sim_handle_line(session, "\r", options)), "500");
  EXPECT_EQ(code_of(sim_handle_line(session, "QUIT\r", options)), "500");
}

TEST(SimProtocol, EntryFaultsHitTheKthEntry) {
  SimOptions options;
  options.faults.fail_entry[1] = 550;
  options.faults.nul_reply.insert(2);
  options.faults.long_reply.insert(3);
  SimSession session = logged_in(options);
  const std::string line = "UPDSYSDB 34f5 19 STRING StoNr3 00003\r";
  SimAction failed = sim_handle_line(session, line, options);
  EXPECT_EQ(code_of(failed), "550");
  EXPECT_FALSE(failed.accepted);
  SimAction nul = sim_handle_line(session, line, options);
  EXPECT_EQ(nul.reply, std::string("\0\r\n", 3));
  EXPECT_FALSE(nul.accepted);
  SimAction long_reply = sim_handle_line(session, line, options);
  EXPECT_EQ(code_of(long_reply), "200");
  EXPECT_GT(long_reply.reply.size(), 192u);
  EXPECT_EQ(long_reply.reply.substr(long_reply.reply.size() - 2), "\r\n");
  EXPECT_TRUE(long_reply.accepted);
  EXPECT_EQ(sim_handle_line(session, line, options).reply, "200 entry accepted\r\n");
}

TEST(SimProtocol, CloseAndSilenceCountCommands) {
  SimOptions options;
  options.faults.close_after = 2;
  SimSession session;
  EXPECT_FALSE(sim_handle_line(session, "USER Supervisor\r", options).close_after_reply);
  SimAction second = sim_handle_line(session, "PASS m3k8r2p9w4tzqh\r", options);
  EXPECT_TRUE(second.close_after_reply);
  EXPECT_EQ(code_of(second), "230");

  options.faults.close_after = -1;
  options.faults.silent_after = 1;
  SimSession quiet;
  EXPECT_EQ(code_of(sim_handle_line(quiet, "USER Supervisor\r", options)), "331");
  EXPECT_EQ(sim_handle_line(quiet, "PASS m3k8r2p9w4tzqh\r", options).reply, "");
}

TEST(SimOptions, ParsesAddressesRangesAndFaults) {
  std::vector<std::uint32_t> addresses;
  EXPECT_TRUE(parse_address_range("127.0.0.2-127.0.0.101", addresses));
  ASSERT_EQ(addresses.size(), 100u);
  EXPECT_EQ(addresses.front(), 0x7F000002u);
  EXPECT_EQ(addresses.back(), 0x7F000065u);
  EXPECT_FALSE(parse_address_range("127.0.0.9-127.0.0.8", addresses));
  EXPECT_FALSE(parse_address_range("127.0.0", addresses));
  EXPECT_FALSE(parse_address_range("10.0.0.0-10.1.0.0", addresses));  // too many
  for (const char* bad : {"127.0.0.256", "127.0.0.01", "127.0.0.1x", "1.2.3.4.5", "1..2.3",
                          " 127.0.0.1", "127.0.0.1-", "0x7f.0.0.1"})
    EXPECT_FALSE(parse_address_range(bad, addresses)) << bad;
  addresses.clear();
  EXPECT_TRUE(parse_address_range("0.0.0.0", addresses));
  EXPECT_TRUE(parse_address_range("255.255.255.255", addresses));
  EXPECT_EQ(addresses, (std::vector<std::uint32_t>{0u, 0xFFFFFFFFu}));

  const char* argv[] = {
      "kestal-sim", "--listen",   "127.0.0.5",    "--listen",        "127.0.0.7-127.0.0.8",
      "--port",     "6000",       "--fail-entry", "2:551",           "--nul-reply",
      "3",          "--delay-ms", "20",           "--split-replies", "--password",
      "other"};
  SimOptions options;
  std::string error;
  ASSERT_EQ(parse_sim_options(16, const_cast<char**>(argv), options, error), CliResult::kRun)
      << error;
  EXPECT_EQ(options.listen, (std::vector<std::uint32_t>{0x7F000005u, 0x7F000007u, 0x7F000008u}));
  EXPECT_EQ(options.port, 6000);
  EXPECT_EQ(options.faults.fail_entry.at(2), 551);
  EXPECT_EQ(options.faults.nul_reply.count(3), 1u);
  EXPECT_EQ(options.faults.delay_ms, 20);
  EXPECT_TRUE(options.faults.split_replies);
  EXPECT_EQ(options.password, "other");

  SimOptions defaults;
  const char* none[] = {"kestal-sim"};
  ASSERT_EQ(parse_sim_options(1, const_cast<char**>(none), defaults, error), CliResult::kRun);
  EXPECT_EQ(defaults.listen, std::vector<std::uint32_t>{0x7F000001u});
  EXPECT_EQ(defaults.port, 5010);

  const char* bad[][3] = {{"kestal-sim", "--fail-entry", "2"},
                          {"kestal-sim", "--port", "0"},
                          {"kestal-sim", "--bogus", "x"}};
  for (auto& args : bad) {
    SimOptions o;
    EXPECT_EQ(parse_sim_options(3, const_cast<char**>(args), o, error), CliResult::kError)
        << args[1];
  }
}
