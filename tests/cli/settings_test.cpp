#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "engine/settings.h"

namespace quillory {
namespace {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

class SettingsCommand : public ::testing::Test {
 protected:
  CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err, env_);
    return {code, out.str(), err.str()};
  }

  MemorySettings store_;
  std::istringstream in_;
  CliEnvironment env_{store_, in_};
};

TEST_F(SettingsCommand, GetPrintsTheStoredValueAndFailsWhenAbsent) {
  CliRun absent = Cli({"settings", "get", "Dollar"});
  EXPECT_EQ(absent.code, 1);
  EXPECT_EQ(absent.out, "");
  EXPECT_EQ(absent.err, "quillory-cli: no setting \"Dollar\" is stored\n");

  store_.WriteSetting("Dollar", "");
  EXPECT_EQ(Cli({"settings", "get", "Dollar"}).code, 0) << "an empty value is still stored";
  store_.WriteSetting("Dollar", " Euro ");
  EXPECT_EQ(Cli({"settings", "get", "Dollar"}).out, " Euro \n");
}

TEST_F(SettingsCommand, SetStoresTheTextExactly) {
  for (std::string value : {"", " Euro ", "a,b", "-5", "--help", "x=y", "Français"}) {
    EXPECT_EQ(Cli({"settings", "set", "--", "Nine_fr/ch", value}).code, 0) << value;
    EXPECT_EQ(store_.ReadSetting("Nine_fr/ch", "absent"), value);
    EXPECT_EQ(Cli({"settings", "get", "Nine_fr/ch"}).out, value + "\n");
  }
  EXPECT_EQ(Cli({"settings", "set", "Default Language", "English"}).code, 0);
  EXPECT_EQ(store_.ReadSetting("Default Language", ""), "English");
}

TEST_F(SettingsCommand, BadUsageExitsTwo) {
  EXPECT_EQ(Cli({"settings"}).code, 2);
  EXPECT_EQ(Cli({"settings", "get"}).code, 2);
  EXPECT_EQ(Cli({"settings", "set", "Dollar"}).code, 2);
  EXPECT_EQ(Cli({"settings", "set", "Dollar", "a", "b"}).code, 2);
  EXPECT_FALSE(store_.HasSetting("Dollar"));
}

// A store whose writes never reach the disk.
class FailingSettings final : public SettingsStore {
 public:
  std::string WriteError() const override { return "cannot write the settings file /x"; }

 protected:
  std::optional<std::string> Lookup(std::string_view) const override { return std::nullopt; }
  void Store(std::string_view, std::string_view) override {}
};

TEST(SettingsCommandFailure, AWriteThatDidNotReachTheStoreFails) {
  FailingSettings store;
  std::istringstream in;
  CliEnvironment env{store, in};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"settings", "set", "Dollar", "Euro"}, out, err, env), 1);
  EXPECT_EQ(err.str(), "quillory-cli: cannot write the settings file /x\n");
}

}  // namespace
}  // namespace quillory
