#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/commands.h"
#include "cli/language_options.h"
#include "cli/tsv.h"
#include "engine/languages.h"
#include "engine/letters.h"
#include "engine/words.h"
#include "workbook/block_reference.h"
#include "workbook/conversion_run.h"

namespace quillory::cli {
namespace {

using workbook::Block;
using workbook::BlockReference;
using workbook::Workbook;
using workbook::WorkbookError;

struct ConvertArguments {
  std::vector<std::string> files;
  std::string kind = "number";
  std::optional<std::string> base;
  std::string scope = "workbook";
  bool no_backup = false;
  bool yes = false;
  std::optional<std::string> language;
  std::optional<std::string> unit;
  std::string backend = "auto";
  bool dry_run = false;
};

// The questions of a run answered from the command line: the running-instance question by --yes,
// the block by --scope, the letters question on the terminal.
class TerminalPrompts final : public workbook::Prompts {
 public:
  TerminalPrompts(CommandContext& context, const ConvertArguments& arguments,
                  std::optional<BlockReference> block)
      : context_(context), arguments_(arguments), block_(std::move(block)) {}

  void Message(std::string_view text, std::string_view details) override {
    EndProgressLine();
    context_.err << text << "\n";
    if (!details.empty()) context_.err << details << "\n";
  }

  bool AskYesNo(std::string_view text) override {
    EndProgressLine();
    if (arguments_.yes) return true;
    context_.err << WithoutCarriageReturns(text) << "\n"
                 << "Run again with --yes to proceed anyway.\n";
    return false;
  }

  std::optional<std::string> AskText(std::string_view prompt, std::string_view initial) override {
    EndProgressLine();
    context_.err << prompt << " [" << initial << "] " << std::flush;
    std::string line;
    if (!std::getline(context_.env.in, line)) {
      // Standard input has ended: nobody is there to answer.
      context_.err << "\n";
      return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.empty() ? std::string(initial) : line;
  }

  std::optional<Block> PickBlock(Workbook& workbook) override {
    if (!block_) return std::nullopt;
    Block block{nullptr, block_->first_row, block_->first_column, block_->last_row,
                block_->last_column};
    if (!block_->sheet) {
      block.sheet = &workbook.ActiveSheet();
      return block;
    }
    // The exact name first, then one differing only in case, as sheet names are matched.
    for (const bool exact : {true, false}) {
      for (workbook::Worksheet* sheet : workbook.Worksheets()) {
        if (exact ? sheet->Name() == *block_->sheet
                  : SameIgnoringCase(sheet->Name(), *block_->sheet)) {
          block.sheet = sheet;
          return block;
        }
      }
    }
    throw WorkbookError(workbook.Path(), "there is no worksheet named '" + *block_->sheet + "'");
  }

  void SetBusy(bool) override {}

  void Progress(const workbook::RunProgress& progress) override {
    if (!context_.env.progress_to_terminal) return;
    context_.err << "\r[" << progress.index << "/" << progress.count << "] " << progress.path;
    if (progress.cells_total > 0) {
      context_.err << ": " << progress.cells << " of " << progress.cells_total << " cells";
    }
    context_.err << "\x1b[K" << std::flush;
    progress_shown_ = true;
  }

 private:
  static std::string WithoutCarriageReturns(std::string_view text) {
    std::string out;
    for (char c : text) {
      if (c != '\r') out += c;
    }
    return out;
  }
  static bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
      };
      if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
  }
  void EndProgressLine() {
    if (progress_shown_) context_.err << "\n";
    progress_shown_ = false;
  }

  CommandContext& context_;
  const ConvertArguments& arguments_;
  std::optional<BlockReference> block_;
  bool progress_shown_ = false;
};

int Convert(CommandContext& context, const ConvertArguments& arguments) {
  workbook::RunOptions options;
  options.kind = arguments.kind == "currency"  ? workbook::Kind::Currency
                 : arguments.kind == "letters" ? workbook::Kind::Letters
                                               : workbook::Kind::Number;
  if (arguments.base) {
    if (options.kind != workbook::Kind::Letters) {
      throw CLI::ValidationError("--base", "only applies to --kind letters");
    }
    const auto base =
        IsNumericAnswer(*arguments.base) ? LettersBaseFromAnswer(*arguments.base) : std::nullopt;
    if (!base || !LettersBaseFits(*base)) {
      throw CLI::ValidationError("--base", "must be a number from -180 to 66");
    }
    options.letters_base = base;
  }

  std::optional<BlockReference> block;
  if (arguments.scope == "workbook") {
    options.scope = workbook::Scope::Workbook;
  } else if (arguments.scope == "active") {
    options.scope = workbook::Scope::ActiveSheet;
  } else {
    block = workbook::ParseBlockReference(arguments.scope);
    if (!block) {
      throw CLI::ValidationError("--scope", "'" + arguments.scope +
                                                "' is not workbook, active or a block such as "
                                                "'Sheet 1'!A1:C9");
    }
    options.scope = workbook::Scope::Block;
  }

  WordSource words(context.env.store, context.env.speakers);
  ChooseLanguage(context, words, arguments.language, arguments.unit, true);

  workbook::RunServices services;
  if (context.env.applications) {
    services.open_application = context.env.applications(arguments.backend);
  }
  if (!services.open_application) {
    throw CLI::ValidationError("--backend", "'" + arguments.backend + "' is not available");
  }
  services.spreadsheet_in_use = context.env.spreadsheet_in_use;
  services.now = context.env.now;
  services.start_backup = context.env.start_backup;
  services.on_cell = [&context](const workbook::CellChange& change) {
    context.out << EscapeField(change.workbook) << '\t' << EscapeField(change.sheet) << '\t'
                << EscapeField(change.cell) << '\t' << EscapeField(change.old_text) << '\t'
                << EscapeField(change.new_text) << '\n';
  };

  for (const std::string& file : arguments.files) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(file, error);
    options.paths.push_back(error ? file : full.lexically_normal().string());
  }
  options.backup = !arguments.no_backup;
  options.dry_run = arguments.dry_run;

  TerminalPrompts prompts(context, arguments, std::move(block));
  const workbook::RunReport report =
      workbook::ConversionRun(std::move(options), words, prompts, std::move(services)).Execute();
  context.out << std::flush;
  switch (report.outcome) {
    case workbook::RunOutcome::Done:
      return 0;
    case workbook::RunOutcome::Unanswered:
      return 2;  // like a missing --base
    default:
      return 1;
  }
}

}  // namespace

void AddConvertCommand(CLI::App& app, CommandContext& context) {
  auto arguments = std::make_shared<ConvertArguments>();
  CLI::App* convert = app.add_subcommand(
      "convert", "Rewrite the cells of workbooks as words, saving each in place.");
  convert->add_option("FILE", arguments->files, "Workbooks, converted in the order given")
      ->required();
  convert->add_option("--kind", arguments->kind, "What the cells become (default number)")
      ->check(CLI::IsMember({"number", "currency", "letters"}));
  convert->add_option("--base", arguments->base,
                      "Letters: the number that corresponds with A (default: asked)");
  convert->add_option("--scope", arguments->scope,
                      "workbook, active, or a block such as 'Sheet 1'!A1:C9 (default workbook)");
  convert->add_flag("--no-backup", arguments->no_backup,
                    "Make no backup copy beside each workbook");
  convert->add_flag("--yes", arguments->yes,
                    "Go on when a spreadsheet program may have the workbooks open");
  convert->add_option("--language", arguments->language,
                      "The language of the words: English, a stored language, or a built-in one "
                      "by code or name (default: the stored default)");
  convert->add_option("--unit", arguments->unit,
                      "Currency in a built-in language, by ISO 4217 code (default: the stored "
                      "\"Currency\", else the language's own)");
  convert
      ->add_option("--backend", arguments->backend,
                   "embedded, libreoffice or auto (default: embedded for xlsx, else LibreOffice)")
      ->check(CLI::IsMember({"auto", "embedded", "libreoffice"}));
  convert->add_flag("--dry-run", arguments->dry_run,
                    "Print file, sheet, cell, old and new text as TSV; change nothing");
  convert->callback([&context, arguments] { context.exit_code = Convert(context, *arguments); });
}

}  // namespace quillory::cli
