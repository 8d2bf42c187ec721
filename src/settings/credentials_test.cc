// Tests of the credential store lookups and of the database settings step, with
// real store files and a recording stand-in for the connection.
#include "settings/credentials.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "settings/blowfish.h"

namespace {

std::string enciphered(std::string_view plain) {
  BlowfishContext context;
  return encipher_hex(context, plain, kCredentialCipherKey);
}

// A record that only its key selects: non-empty qualifier, non-zero number.
std::string record(int number, const std::string& key, std::string_view plain) {
  return "KESTAL;" + key + ";\n" + std::to_string(number) + ";" + key + ";" + enciphered(plain) +
         "\n";
}

class CredentialStore : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ =
        (std::filesystem::temp_directory_path() /
         ("kestal_cred_" + std::to_string(getpid()) + "_" +
          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".ini"))
            .string();
  }
  void TearDown() override { std::remove(path_.c_str()); }

  void write(const std::string& bytes) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string lookup(std::string_view key) {
    CredentialRecord current;
    current.value = "stale";
    credential_lookup(current, "", key, 0, path_);
    return current.value;
  }

  std::string path_;
};

TEST_F(CredentialStore, FindsByKeyAloneFirstWins) {
  write(record(1, "LOGIN", "scott") + record(2, "PASS", "tiger") + record(3, "LOGIN", "second"));
  EXPECT_EQ(lookup("LOGIN"), "scott");
  EXPECT_EQ(lookup("PASS"), "tiger");
  EXPECT_EQ(lookup("DATABASE"), "");
}

TEST_F(CredentialStore, CtrlZEndsTheStore) {
  write(record(1, "LOGIN", "scott") + "\x1A" + record(2, "PASS", "tiger"));
  EXPECT_EQ(lookup("LOGIN"), "scott");
  EXPECT_EQ(lookup("PASS"), "");
}

TEST_F(CredentialStore, KeyComparisonIsExact) {
  write(record(1, "login", "a") + record(2, "LOGIN ", "b") + record(3, "LOGIN", "c"));
  EXPECT_EQ(lookup("LOGIN"), "c");
}

TEST_F(CredentialStore, NumberZeroIsTakenByEveryLookup) {
  write("KESTAL;X;\n0;OTHER;" + enciphered("zero") + "\n" + record(1, "LOGIN", "scott"));
  EXPECT_EQ(lookup("LOGIN"), "zero");
  write("KESTAL;X;\n  abc;OTHER;" + enciphered("nodigits") + "\n" + record(1, "LOGIN", "scott"));
  EXPECT_EQ(lookup("LOGIN"), "nodigits");
  CredentialRecord current;
  credential_lookup(current, "Q", "K", 7, path_);  // a requested number other than 0
  EXPECT_EQ(current.value, "");
}

TEST_F(CredentialStore, HeadLineWithFewerThanTwoSeparatorsIsTakenByAll) {
  write("KESTAL;only one\n5;OTHER;" + enciphered("first") + "\n" + record(1, "PASS", "p"));
  EXPECT_EQ(lookup("PASS"), "first");
  write("no separator\n5;OTHER;" + enciphered("first") + "\n" + record(1, "PASS", "p"));
  EXPECT_EQ(lookup("PASS"), "first");
}

TEST_F(CredentialStore, AdjacentSeparatorsTakeTheRestOfTheLine) {
  CredentialFields fields = credential_fields("A;;tail;x\n", "7;;K;V\n");
  EXPECT_EQ(fields.record.qualifier, ";tail;x\n");
  EXPECT_EQ(fields.record.key, ";K;V\n");
  EXPECT_EQ(fields.record.value, "K;V");
  EXPECT_EQ(fields.record.number, 7);
  // Such a record is found only by its key or number, never by the empty qualifier.
  write("A;;\n4;OTHER;" + enciphered("adjacent") + "\n" + record(1, "LOGIN", "scott"));
  EXPECT_EQ(lookup("LOGIN"), "scott");
}

TEST_F(CredentialStore, FieldExtractionCornerCases) {
  CredentialFields one = credential_fields("H;Q;\n", " -12;rest\n");
  EXPECT_EQ(one.record.number, -12);
  EXPECT_EQ(one.record.key, "");
  EXPECT_EQ(one.record.value, "rest");
  CredentialFields none = credential_fields("H;Q;\n", "0\n");
  EXPECT_FALSE(none.has_number);  // no ';': no number, so never taken by number 0
  EXPECT_EQ(none.record.value, "");
  CredentialFields huge = credential_fields("H;Q;\n", "99999999999999;K;V");
  EXPECT_EQ(huge.record.number, 2147483647);
  EXPECT_EQ(huge.record.value, "V");
  CredentialFields nul =
      credential_fields(std::string("H;Q\0;;\n", 7), std::string("1;K\0;V\n", 7));
  EXPECT_EQ(nul.record.qualifier, "");
  EXPECT_EQ(nul.record.key, "");
}

TEST_F(CredentialStore, BodyLineWithoutSeparatorIsNotTakenByNumber) {
  write("KESTAL;Q;\n0\n" + record(1, "LOGIN", "scott"));
  EXPECT_EQ(lookup("LOGIN"), "scott");
}

TEST_F(CredentialStore, EmptyValueAndMissingFinalLineEnd) {
  write("KESTAL;PASS;\n5;PASS;\n");
  EXPECT_EQ(lookup("PASS"), "");
  std::string last = record(1, "LOGIN", "a") + record(2, "PASS", "no line end at all");
  last.pop_back();
  write(last);
  EXPECT_EQ(lookup("PASS"), "no line end at all");
}

TEST_F(CredentialStore, PairingOddLinesAndEmptyLines) {
  write(record(1, "LOGIN", "a") + "KESTAL;PASS;\n");
  EXPECT_EQ(lookup("PASS"), "");  // the last line has no partner and is never read
  // An empty line shifts the pairing: the next head line is read as a body line.
  write(record(1, "LOGIN", "a") + "\n" + record(2, "PASS", "p") + "x\n");
  EXPECT_EQ(lookup("PASS"), "");
  EXPECT_EQ(lookup("LOGIN"), "a");
}

TEST_F(CredentialStore, CrLfFileReadsLikeLf) {
  std::string lf = record(1, "LOGIN", "scott") + record(2, "PASS", "tiger");
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  write(crlf);
  EXPECT_EQ(lookup("LOGIN"), "scott");
  EXPECT_EQ(lookup("PASS"), "tiger");
}

TEST_F(CredentialStore, LongHeadLineShiftsThePairing) {
  const std::string body = "1;LOGIN;" + enciphered("a") + "\n";
  // 198 characters and the line end fit the head line reader.
  write("KESTAL;" + std::string(190, 'q') + ";\n" + body);
  EXPECT_EQ(lookup("LOGIN"), "a");
  // With 199 the line end is read as the body line, and the real body becomes a
  // head line without a partner.
  write("KESTAL;" + std::string(191, 'q') + ";\n" + body);
  EXPECT_EQ(lookup("LOGIN"), "");
}

TEST_F(CredentialStore, MissingFileGivesEmpty) {
  CredentialRecord current{5, "q", "k", "v"};
  credential_lookup(current, "", "LOGIN", 0, path_ + ".missing");
  EXPECT_EQ(current.number, 0);
  EXPECT_EQ(current.qualifier, "");
  EXPECT_EQ(current.key, "");
  EXPECT_EQ(current.value, "");
}

class DatabaseSettingsStep : public CredentialStore {
 protected:
  std::int32_t run(std::int32_t result, bool verbose) {
    Report report;
    report.log.path = path_ + ".log";
    report.log.backup_path = path_ + ".bak";
    report.console.capture = &console_;
    report.verbose = verbose;
    // As the run does: the lookups, then a connection that gives `result`.
    settings_ = read_database_settings(path_);
    if (result != 0) report_connect_failure(settings_, result, report);
    return result;
  }

  DatabaseSettings settings_;
  std::string console_;
};

TEST_F(DatabaseSettingsStep, PassesTheFourSettings) {
  write(record(1, "DATABASE", "kestal_dsn") + record(2, "LOGIN", "scott") +
        record(3, "DB_SYSTEM", "PGSQL") + record(4, "PASS", "tiger"));
  EXPECT_EQ(run(0, true), 0);
  EXPECT_EQ(settings_.user_name, "scott");
  EXPECT_EQ(settings_.password, "tiger");
  EXPECT_EQ(settings_.data_source, "kestal_dsn");
  EXPECT_EQ(settings_.database_system, "PGSQL");
  EXPECT_EQ(console_, "");
}

TEST_F(DatabaseSettingsStep, DataSourceOf41IsTakenAnd42IsNot) {
  write(record(1, "DATABASE", std::string(41, 'd')));
  run(0, false);
  EXPECT_EQ(settings_.data_source, std::string(41, 'd'));
  write(record(1, "DATABASE", std::string(42, 'd')));
  run(0, false);
  EXPECT_EQ(settings_.data_source, "");
}

TEST_F(DatabaseSettingsStep, FailureMessageAndMaskedDump) {
  write(record(1, "LOGIN", "scott") + record(2, "PASS", "tiger") + record(3, "DB_SYSTEM", "PG") +
        record(4, "DATABASE", "dsn"));
  EXPECT_EQ(run(-1, false), -1);
  EXPECT_EQ(console_, "Datenbankverbindung fehlgeschlagen, Fehler: -1\n");
  console_.clear();
  EXPECT_EQ(run(28000, true), 28000);
  EXPECT_EQ(console_,
            "Datenbankverbindung fehlgeschlagen, Fehler: 28000\n"
            "DBSys   : PG\nUser    : scott\nPasswort: **********\nNet8    : dsn\n"
            "Schema  : Vxsystem\n");
  EXPECT_EQ(console_.find("tiger"), std::string::npos);
  EXPECT_EQ(settings_.database_system, "PG");  // kept after a failed connection
}

TEST_F(DatabaseSettingsStep, MissingStoreGivesEmptySettings) {
  EXPECT_EQ(run(-1, false), -1);
  EXPECT_EQ(settings_.user_name, "");
  EXPECT_EQ(settings_.password, "");
  EXPECT_EQ(settings_.data_source, "");
}

}  // namespace
