#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/tsv.h"
#include "engine/builtin_languages.h"
#include "engine/languages.h"
#include "engine/settings.h"
#include "engine/words.h"

namespace quillory::cli {
namespace {

struct Arguments {
  std::string name;
  std::string stem;
  std::string word;
};

int Fail(CommandContext& context, const std::string& message) {
  context.err << "quillory-cli: " << message << "\n";
  return 1;
}

void List(CommandContext& context) {
  for (const LanguageEntry& entry : ListLanguages(context.env.store)) {
    context.out << entry.name << "\n";
  }
}

// True, with a message, when `name` is a built-in language: its words come with the program.
bool RefuseBuiltIn(CommandContext& context, const std::string& name, std::string_view what) {
  const BuiltInLanguage* built_in = ResolveBuiltIn(context.env.store, name);
  if (!built_in) return false;
  context.err << "quillory-cli: \"" << name << "\" is the built-in language "
              << BuiltInDisplayName(*built_in) << ": " << what << "\n";
  return true;
}

// The editor's "Add Language": an exactly empty name and one holding ";" or bytes that are not
// UTF-8 are refused, a listed one ignored.
int Add(CommandContext& context, const std::string& name) {
  if (RefuseBuiltIn(context, name, "choose another name for a language of your own")) return 1;
  const AddLanguageResult result = AddLanguage(context.env.store, name);
  if (const std::string_view message = AddLanguageMessage(result); !message.empty()) {
    context.err << message << "\n";
    return 1;
  }
  if (result == AddLanguageResult::AlreadyListed) return 0;
  return WriteResult(context);
}

// The editor's "Delete Language" on the first entry equal to `name`; the words stay stored.
int Delete(CommandContext& context, const std::string& name) {
  if (RefuseBuiltIn(context, name, "it comes with the program and cannot be deleted")) return 1;
  if (!DeleteLanguage(context.env.store, name)) {
    if (!context.env.store.WriteError().empty()) return WriteResult(context);
    return Fail(context, "no language \"" + name + "\" is listed");
  }
  return WriteResult(context);
}

// The words the editor would load for `name`, also for a deleted language whose words remain.
int Show(CommandContext& context, const std::string& name) {
  if (RefuseBuiltIn(context, name, "its words come from libnumbertext, not from stored words")) {
    return 1;
  }
  if (TrimSpaces(name).empty()) return Fail(context, "a blank language name has no words");
  if (!LanguageExists(context.env.store, name)) {
    context.err << "quillory-cli: note: \"" << name << "\" is not a listed language\n";
  }
  for (Stem stem : AllStems()) {
    context.out << StemKey(stem) << '\t' << EscapeField(StoredWord(context.env.store, stem, name))
                << "\n";
  }
  return 0;
}

int Set(CommandContext& context, const Arguments& arguments) {
  const std::optional<Stem> stem = StemFromKey(arguments.stem);
  if (!stem) {
    context.err << "quillory-cli: unknown stem \"" << arguments.stem
                << "\"; the stems are One_ ... Nineteen_, Twenty_ ... Ninety_, Hundred_, "
                   "Thousand_, Million_, Billion_, Trillion_, Point_, And_, No_, Zero_, Minus_\n";
    return 2;
  }
  // The editor stores words only for a language chosen from its list, never for a blank name.
  if (TrimSpaces(arguments.name).empty())
    return Fail(context, "a blank language name has no words");
  if (RefuseBuiltIn(context, arguments.name,
                    "its words come with the program and cannot be changed")) {
    return 1;
  }
  if (!LanguageExists(context.env.store, arguments.name)) {
    return Fail(context, "no language \"" + arguments.name + "\" is listed; add it first");
  }
  WriteStoredWord(context.env.store, *stem, arguments.name, arguments.word);
  return WriteResult(context);
}

// Without a name prints the default language; with one stores it like the "Set" button, from the
// same choices the window offers: English, the listed languages and the stored default itself.
int Default(CommandContext& context, const std::optional<std::string>& name) {
  SettingsStore& store = context.env.store;
  const std::string stored = ReadDefaultLanguage(store);
  if (!name) {
    context.out << (stored.empty() ? "English" : stored) << "\n";
    return 0;
  }
  if (TrimSpaces(*name).empty())
    return Fail(context, "a blank name cannot be the default language");
  std::string chosen = *name;
  // A built-in language is stored as the lists show it, however it was named.
  if (const BuiltInLanguage* built_in = ResolveBuiltIn(store, *name)) {
    chosen = BuiltInDisplayName(*built_in);
  } else if (*name != "English" && *name != stored && !LanguageExists(store, *name)) {
    return Fail(context, "no language \"" + *name + "\" is listed");
  }
  WordSource words(store);
  SetDefaultLanguage(store, words, chosen);
  return WriteResult(context);
}

}  // namespace

void AddLanguageCommands(CLI::App& app, CommandContext& context) {
  CLI::App* language =
      app.add_subcommand("language", "List, add, delete and fill in stored languages");
  language->require_subcommand(1);
  auto arguments = std::make_shared<Arguments>();
  auto default_name = std::make_shared<std::optional<std::string>>();

  language
      ->add_subcommand(
          "list", "Print English, the stored languages, then the built-in languages, one per line")
      ->callback([&context] { List(context); });

  CLI::App* add = language->add_subcommand("add", "Add a language, its name exactly as given");
  add->add_option("NAME", arguments->name)->required();
  add->callback([&context, arguments] { context.exit_code = Add(context, arguments->name); });

  CLI::App* remove = language->add_subcommand(
      "delete", "Delete a listed language; its words stay stored and come back when re-added");
  remove->add_option("NAME", arguments->name)->required();
  remove->callback([&context, arguments] { context.exit_code = Delete(context, arguments->name); });

  CLI::App* show =
      language->add_subcommand("show", "Print the words of a language: stem<TAB>word per line");
  show->add_option("NAME", arguments->name)->required();
  show->callback([&context, arguments] { context.exit_code = Show(context, arguments->name); });

  CLI::App* set = language->add_subcommand(
      "set", "Store one word of a listed language (use -- before a word that starts with -)");
  set->add_option("NAME", arguments->name)->required();
  set->add_option("STEM", arguments->stem, "One_ ... Minus_")->required();
  set->add_option("WORD", arguments->word, "May be empty")->required();
  set->callback([&context, arguments] { context.exit_code = Set(context, *arguments); });

  CLI::App* fallback = language->add_subcommand(
      "default",
      "Print the default language, or make NAME (English, a listed or a built-in one) the default");
  fallback->add_option("NAME", *default_name);
  fallback->callback(
      [&context, default_name] { context.exit_code = Default(context, *default_name); });
}

}  // namespace quillory::cli
