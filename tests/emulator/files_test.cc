#include "emulator/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace blindscan::emulator {
namespace {

TEST(ReadFile, RefusesAFileLargerThanTheLimit) {
  const result<std::string> endless = read_file("/dev/zero", 100'000);
  ASSERT_FALSE(endless);
  EXPECT_EQ(endless.error(), "/dev/zero: larger than 100000 bytes, more than a sky or records file holds");
}

class Satellites : public testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() / ("files_test." + std::to_string(getpid()));
    std::filesystem::create_directories(directory_);
    std::ofstream(directory_ / "Astra-19.2E") << "[CHANNEL]\n";
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }
  std::filesystem::path directory_;
};

struct satellite_case {
  const char* name;
  const char* error;  // with {dir} for the directory; nothing for the file found
};

// Names the case in test listings.
void PrintTo(const satellite_case& c, std::ostream* os) { *os << "'" << c.name << "'"; }

class SatelliteFile : public Satellites, public testing::WithParamInterface<satellite_case> {};

TEST_P(SatelliteFile, IsFoundOrSaysWhatToDo) {
  const result<std::string> path = satellite_file(directory_.string(), GetParam().name);
  std::string error = GetParam().error;
  for (size_t at; (at = error.find("{dir}")) != std::string::npos;) error.replace(at, 5, directory_.string());
  if (error.empty()) {
    ASSERT_TRUE(path) << path.error();
    EXPECT_EQ(*path, (directory_ / GetParam().name).string());
  } else {
    ASSERT_FALSE(path);
    EXPECT_EQ(path.error(), error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, SatelliteFile,
    testing::Values(satellite_case{"Astra-19.2E", ""},
                    satellite_case{"Astra-28.2E",
                                   "no satellite 'Astra-28.2E' in {dir} (ls {dir} lists the names)"},
                    satellite_case{"..", "no satellite '..' in {dir} (ls {dir} lists the names)"}));

TEST_F(Satellites, AMissingDirectoryNamesThePackage) {
  const result<std::string> path = satellite_file((directory_ / "absent").string(), "Astra-19.2E");
  ASSERT_FALSE(path);
  EXPECT_EQ(path.error(), (directory_ / "absent").string() +
                              " is missing: the published transponder lists come with the package "
                              "dtv-scan-tables (apt-get install dtv-scan-tables)");
}

}  // namespace
}  // namespace blindscan::emulator
