#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

struct NumberText;

// A language whose words come with the program (from the libnumbertext data), beside the
// built-in English and the user's stored languages.
struct BuiltInLanguage {
  std::string_view code;      // "fr", "en-IN"
  std::string_view name;      // its own name: "Français", "English, India"
  std::string_view currency;  // ISO 4217 code of its amounts unless another is chosen; "" none
};

// Every built-in language, in the order lists show them (by code).
std::span<const BuiltInLanguage> BuiltInLanguages();

// How lists show a built-in language and how it is stored as the default: "Français (fr)".
std::string BuiltInDisplayName(const BuiltInLanguage& language);

// The built-in language `text` names: its display name exactly ("Français (fr)") or its code
// ("fr"; letter case and "_" for "-" do not matter: "EN_in"). Null for any other text. Whether a
// stored language of that name takes precedence is decided by ResolveLanguage (languages.h).
const BuiltInLanguage* FindBuiltInLanguage(std::string_view text);

// The words of a built-in language, said by a library.
class BuiltInSpeaker {
 public:
  struct Said {
    bool said = true;
    // When not said: why, a text that lasts as long as the speaker ("Français (fr) has no words
    // for the currency XYZ").
    std::string_view why;
  };

  virtual ~BuiltInSpeaker() = default;

  // The words of a displayed number: its sign, whole part and the digits after the point.
  virtual Said SayNumber(const NumberText& number, std::string& out) = 0;
  // The words of an amount in `currency` (ISO 4217): its sign, whole units and hundredths.
  virtual Said SayAmount(const NumberText& number, std::string_view currency, std::string& out) = 0;
  // The ISO 4217 codes the language has unit words for, in alphabetical order.
  virtual std::vector<std::string> Currencies() = 0;
  virtual bool KnowsCurrency(std::string_view currency) = 0;
};

// Hands out the speaker of each built-in language; it outlives every word set that uses it.
class BuiltInSpeakers {
 public:
  virtual ~BuiltInSpeakers() = default;
  virtual BuiltInSpeaker& Speaker(const BuiltInLanguage& language) = 0;
};

}  // namespace quillory
