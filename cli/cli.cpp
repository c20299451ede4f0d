#include "cli/cli.h"

#include <algorithm>
#include <ostream>

#include "cli/commands.h"
#include "engine/settings.h"
#include "quillory/version.h"

namespace quillory {

namespace cli {

int WriteResult(CommandContext& context) {
  const std::string error = context.env.store.WriteError();
  if (error.empty()) return 0;
  context.err << "quillory-cli: " << error << "\n";
  return 1;
}

}  // namespace cli

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           CliEnvironment& env) {
  CLI::App app{"Quillory: rewrites the numbers of spreadsheet workbooks as words.", "quillory-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "quillory " + std::string(kVersion),
                       "Print the version and exit");
  app.fallthrough(false);

  cli::CommandContext context{env, out, err};
  cli::AddWordsCommands(app, context);
  cli::AddSettingsCommands(app, context);
  cli::AddCellsCommand(app, context);
  cli::AddConvertCommand(app, context);
  cli::AddLanguageCommands(app, context);

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::CallForVersion& version) {
    out << version.what() << "\n";
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return 0;
  } catch (const CLI::ParseError& e) {
    err << "quillory-cli: " << e.what() << "\n"
        << "Run 'quillory-cli --help' for the commands.\n";
    return 2;
  }
  return context.exit_code;
}

}  // namespace quillory
