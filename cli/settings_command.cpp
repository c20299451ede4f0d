#include <memory>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "engine/settings.h"

namespace quillory::cli {

void AddSettingsCommands(CLI::App& app, CommandContext& context) {
  CLI::App* settings = app.add_subcommand("settings", "Read or write one stored setting");
  settings->require_subcommand(1);

  struct Arguments {
    std::string key;
    std::string value;
  };
  auto arguments = std::make_shared<Arguments>();

  CLI::App* get = settings->add_subcommand(
      "get", "Print the stored value of KEY exactly as stored; exit 1 when KEY is absent");
  get->add_option("KEY", arguments->key, "Setting key, e.g. \"Dollar\" or \"Nine_French\"")
      ->required();
  get->callback([&context, arguments] {
    if (!context.env.store.HasSetting(arguments->key)) {
      context.err << "quillory-cli: no setting \"" << arguments->key << "\" is stored\n";
      context.exit_code = 1;
      return;
    }
    context.out << context.env.store.ReadSetting(arguments->key, "") << "\n";
  });

  CLI::App* set = settings->add_subcommand(
      "set", "Store VALUE under KEY exactly as given (use -- before a value that starts with -)");
  set->add_option("KEY", arguments->key, "Setting key")->required();
  set->add_option("VALUE", arguments->value, "Text to store; may be empty")->required();
  set->callback([&context, arguments] {
    context.env.store.WriteSetting(arguments->key, arguments->value);
    context.exit_code = WriteResult(context);
  });
}

}  // namespace quillory::cli
