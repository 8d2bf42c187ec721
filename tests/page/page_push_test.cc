// The pages kestal-fleet writes with --html: a push to a small simulated fleet on
// loopback (the PostgreSQL cluster of scripts/with-postgres.sh), then a status read;
// chromium shows each terminal with the outcome the push gave it.
#include "browser.h"
#include "harness/install_tree.h"
#include "harness/postgres.h"
#include "harness/process.h"
#include "harness/simulator.h"

namespace fs = std::filesystem;

TEST_F(Browser, PagesOfARealPushAndStatusShowWhatThePushDid) {
  ASSERT_FALSE(env_or_empty("KESTAL_PG_DSN").empty())
      << "run under scripts/with-postgres.sh (KESTAL_PG_DSN is not set)";
  InstallTree tree("page-push");
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"LOGIN", env_or_empty("KESTAL_PG_USER")},
           {"PASS", env_or_empty("KESTAL_PG_PASSWORD")},
           {"DB_SYSTEM", "POSTGRES"},
           {"DATABASE", env_or_empty("KESTAL_PG_DSN")}}) {
    ASSERT_EQ(
        run_process(KESTAL_CRED_PATH, {"set", tree.credential_store_path().string(), key, value},
                    tree.root().string())
            .exit_code,
        0);
  }
  // .1 to .3 take the entries, .4 refuses the password, .5 falls silent until the
  // push kills its run (its row stays marked running), nobody listens on .6.
  std::vector<std::string> names = {"127.0.4.1", "127.0.4.2", "127.0.4.3",
                                    "127.0.4.4", "127.0.4.5", "127.0.4.6"};
  std::string sql =
      "DELETE FROM vxsystem.vxs1140trm; DELETE FROM vxsystem.vxs113sto; "
      "INSERT INTO vxsystem.vxs113sto (stonum) VALUES (1), (2), (3);";
  std::string list;
  for (const auto& n : names) {
    sql += "INSERT INTO vxsystem.vxs1140trm (trmnam) VALUES ('" + n + "');";
    list += n + "\n";
  }
  psql(sql);
  Simulator sim(KESTAL_SIM_PATH, "127.0.4.1",
                {"--listen", "127.0.4.2-127.0.4.5", "--range", "127.0.4.4", "--reject-password",
                 "--range", "127.0.4.5", "--silent-after", "1"},
                tree.root());
  ASSERT_TRUE(sim.ready());
  tree.write_file(tree.root() / "terminals", list);
  auto fleet = [&](std::vector<std::string> arguments, const std::string& page) {
    arguments.insert(arguments.end(), {"--html", (tree.root() / page).string()});
    ProcessResult r = run_process(KESTAL_FLEET_PATH, arguments, tree.working_directory().string());
    EXPECT_NE(r.exit_code, 2) << r.out << r.err;
    return read_whole_file(tree.root() / page);
  };
  std::string push = fleet({"push", "page-test", "*STO", "--terminals",
                            (tree.root() / "terminals").string(), "--jobs", "6", "--timeout", "3"},
                           "push.html");
  expect_page(probe(push), names, {"ok", "ok", "ok", "login-refused", "killed", "unreachable"},
              true);
  Probe status = probe(fleet({"status", "--like", "127.0.4.%"}, "status.html"));
  // The transfer stopped at the time-out wrote its end mark: failed, not running.
  expect_page(status, names, {"ok", "ok", "ok", "failed", "failed", "failed"}, false);
  EXPECT_EQ(status.count("running"), 0u);
}
