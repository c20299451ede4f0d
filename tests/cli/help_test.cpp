#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "engine/settings.h"
#include "quillory/version.h"

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

TEST(CommandLine, VersionPrintsTheProjectVersionWithoutASubcommand) {
  MemorySettings store;
  std::istringstream in;
  CliEnvironment env{store, in};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--version"}, out, err, env), 0);
  EXPECT_EQ(out.str(), "quillory " + std::string(kVersion) + "\n");
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace quillory
