// The committed button pictures are checked by a small PNG reader in Python
// (zlib is at hand there): sizes, 8-bit RGBA, and the faded pictures' 10 %
// alpha rule against their partners.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

std::string RunAndCapture(const std::string& command, int& status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return output;
  }
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  status = pclose(pipe);
  return output;
}

TEST(ButtonPictures, CommittedPngsMatchSizesFormatAndFadeRule) {
  const std::string source = REACHKIT_SOURCE_DIR;
  int status = 0;
  const std::string output = RunAndCapture(
      "python3 '" + source + "/tests/controls/check_pictures.py' '" + source + "/res/png' 2>&1",
      status);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_NE(output.find("9 pictures checked, 0 failures"), std::string::npos) << output;
}

}  // namespace
