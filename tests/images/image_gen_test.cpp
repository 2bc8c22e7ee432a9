// SPDX-License-Identifier: MIT
// The generator still writes the committed image files, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::vector<char> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ImageGenerator, ReproducesTheCommittedFiles) {
  std::string dir = (std::filesystem::temp_directory_path() / "zmr_image_gen_XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string command = std::string("'") + ZMR_IMAGE_GEN + "' '" + dir + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  for (const char* file : {"data1.bin", "data2.bin", "data3.bin"}) {
    const std::vector<char> made = ReadFile(std::filesystem::path(dir) / file);
    const std::vector<char> committed = ReadFile(std::filesystem::path(ZMR_IMAGE_DATA_DIR) / file);
    EXPECT_FALSE(committed.empty()) << file;
    EXPECT_TRUE(made == committed) << file << " differs from the committed file";
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
