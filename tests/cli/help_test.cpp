#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "engine/settings.h"

namespace quillory {
namespace {

TEST(CommandLine, HelpExitsZeroAndBadUsageExitsTwo) {
  MemorySettings store;
  std::istringstream in;
  CliEnvironment env{store, in};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--help"}, out, err, env), 0);
  EXPECT_NE(out.str().find("quillory-cli"), std::string::npos);
  EXPECT_EQ(RunCli({"no-such-command"}, out, err, env), 2);
  EXPECT_EQ(RunCli({}, out, err, env), 2);
}

}  // namespace
}  // namespace quillory
