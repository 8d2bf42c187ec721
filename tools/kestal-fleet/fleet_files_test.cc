// The files a push writes are refused before it starts when they cannot be written,
// and a second push in one working directory is refused, naming the first.
#include "fleet_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(FleetFiles, RefusesWhatCannotBeWrittenBeforeThePush) {
  fs::path dir = fs::temp_directory_path() / ("fleet-files-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "old.json") << "old";
  struct Case {
    std::string path;
    bool ok;
  } cases[] = {{(dir / "old.json").string(), true},
               {(dir / "new.json").string(), true},
               {dir.string(), false},
               {"/dev/full", false},
               {(dir / "missing" / "x.json").string(), false}};
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(check_output_path(c.path, error), c.ok) << c.path;
    EXPECT_EQ(error.empty(), c.ok) << error;
  }
  // A history folder: existing, or made later below the nearest existing one.
  const std::pair<std::string, bool> folders[] = {{dir.string(), true},
                                                  {(dir / "a" / "b/").string(), true},
                                                  {(dir / "old.json").string(), false},
                                                  {(dir / "old.json" / "h").string(), false}};
  for (const auto& [path, ok] : folders) {
    std::string error;
    EXPECT_EQ(check_output_folder(path, error), ok) << path << ": " << error;
  }
  std::string error;
  ASSERT_TRUE(write_text_file((dir / "old.json").string(), "new", error)) << error;
  std::ifstream in(dir / "old.json");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  fs::path here = fs::current_path();
  fs::current_path(dir);
  Fd first, second;
  EXPECT_TRUE(lock_working_directory(first, false, error)) << error;
  EXPECT_FALSE(lock_working_directory(second, false, error));
  EXPECT_NE(error.find(std::to_string(getpid())), std::string::npos) << error;
  fs::current_path(here);
  fs::remove_all(dir);
}

}  // namespace
