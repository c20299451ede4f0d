#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/builtin_languages.h"
#include "platform/spellout/composer.h"

class Numbertext;

namespace quillory::spellout {

// The folder of libnumbertext's language data (one .sor file per language) this program was
// built against: /usr/share/libnumbertext on Debian (package libnumbertext-data).
std::string DefaultDataFolder();

// How the library is asked for a language's words.
struct LanguageProfile {
  std::string_view code;
  Grammar grammar = {};
  bool compose_numbers = true;
  bool compose_amounts = true;
};
LanguageProfile ProfileOf(std::string_view code);

// The speakers of the built-in languages, through libnumbertext. Each speaker keeps the words it
// has asked the library for, so a long run asks once per group, glue and currency piece. Safe to
// use from several threads: one call at a time.
class NumbertextSpeakers final : public BuiltInSpeakers {
 public:
  explicit NumbertextSpeakers(std::string data_folder = DefaultDataFolder());
  ~NumbertextSpeakers() override;

  BuiltInSpeaker& Speaker(const BuiltInLanguage& language) override;

  // The library's own words for `input` in `code`, outer spaces removed, asked afresh: what the
  // speakers' words are checked against.
  bool LibraryWords(std::string_view code, std::string input, std::string& out);

  class LanguageSpeaker;

 private:
  std::string folder_;
  std::recursive_mutex mutex_;
  std::unique_ptr<Numbertext> library_;
  std::map<std::string, std::unique_ptr<LanguageSpeaker>, std::less<>> speakers_;
};

}  // namespace quillory::spellout
