#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/languages.h"
#include "engine/settings.h"
#include "platform/spellout/numbertext_speakers.h"

namespace quillory {
namespace {

class BuiltInLanguagesCli : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    std::istringstream in;
    CliEnvironment env{store_, in};
    env.speakers = &speakers_;
    std::ostringstream out, err;
    const int code = RunCli(args, out, err, env);
    out_ = out.str();
    err_ = err.str();
    return code;
  }

  MemorySettings store_;
  spellout::NumbertextSpeakers speakers_;
  std::string out_, err_;
};

TEST_F(BuiltInLanguagesCli, WordsTakeTheCodeOrTheNameAndTheCurrencyByCode) {
  EXPECT_EQ(Run({"words", "--language", "fr", "71", "abc"}), 0);
  EXPECT_EQ(out_, "soixante-et-onze\nabc\n");
  EXPECT_EQ(err_, "abc does not appear to be a number\n");
  EXPECT_EQ(Run({"words", "--language", "Deutsch (de)", "21"}), 0);
  EXPECT_EQ(out_, "einundzwanzig\n");
  EXPECT_EQ(Run({"words", "--currency", "--language", "fr", "--unit", "EUR", "71.01"}), 0);
  EXPECT_EQ(out_, "soixante-et-onze euros et un centime\n");
  EXPECT_EQ(Run({"words", "--currency", "--language", "fr", "--unit", "gbp", "2"}), 0);
  EXPECT_EQ(out_, "deux livres sterling\n");
}

TEST_F(BuiltInLanguagesCli, UnitIsRefusedWhereItCannotApply) {
  EXPECT_EQ(Run({"words", "--currency", "--unit", "EUR", "5"}), 2);
  EXPECT_NE(err_.find("only built-in languages take a currency code"), std::string::npos);
  EXPECT_EQ(Run({"words", "--currency", "--language", "fr", "--unit", "INR", "5"}), 2);
  EXPECT_NE(err_.find("Français (fr) has no words for the currency 'INR'; it has BIF, CAD"),
            std::string::npos)
      << err_;
  EXPECT_EQ(out_, "");
}

TEST_F(BuiltInLanguagesCli, AStoredLanguageOfTheSameNameKeepsItsMeaning) {
  store_.WriteSetting("Languages", "fr;");
  store_.WriteSetting("One_fr", "UNO");
  EXPECT_EQ(Run({"words", "--language", "fr", "1"}), 0);
  EXPECT_EQ(out_, "UNO\n");
  EXPECT_EQ(Run({"words", "--language", "Français (fr)", "1"}), 0);
  EXPECT_EQ(out_, "un\n");
  EXPECT_EQ(Run({"language", "list"}), 0);
  EXPECT_EQ(out_.rfind("English\nfr\nAfrikaans (af)\n", 0), 0u) << out_;
}

TEST_F(BuiltInLanguagesCli, BuiltInsAreListedAndCanBeTheDefaultButNotEdited) {
  EXPECT_EQ(Run({"language", "list"}), 0);
  EXPECT_NE(out_.find("\nFrançais (fr)\n"), std::string::npos);
  EXPECT_NE(out_.find("\nEnglish, India (en-IN)\n"), std::string::npos);

  EXPECT_EQ(Run({"language", "default", "en-in"}), 0) << err_;
  EXPECT_EQ(ReadDefaultLanguage(store_), "English, India (en-IN)");
  EXPECT_EQ(Run({"words", "--currency", "12300000"}), 0);
  EXPECT_EQ(out_, "one crore, twenty-three lakh Indian rupees\n");

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"language", "add", "fr"},
                                             {"language", "delete", "Français (fr)"},
                                             {"language", "set", "fr", "One_", "un"},
                                             {"language", "show", "de"}}) {
    EXPECT_EQ(Run(args), 1) << args[1];
    EXPECT_NE(err_.find("is the built-in language"), std::string::npos) << err_;
  }
  EXPECT_EQ(store_.ReadSetting("Languages", "absent"), "absent");
}

TEST_F(BuiltInLanguagesCli, ConvertChecksTheLanguageAndTheUnit) {
  EXPECT_EQ(Run({"convert", "/nowhere/a.xlsx", "--language", "xx"}), 2);
  EXPECT_EQ(Run({"convert", "/nowhere/a.xlsx", "--language", "fr", "--unit", "XYZ"}), 2);
  EXPECT_NE(err_.find("has no words for the currency 'XYZ'"), std::string::npos);
}

}  // namespace
}  // namespace quillory
