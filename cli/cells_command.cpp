#include <memory>
#include <new>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/tsv.h"
#include "workbook/sheet_geometry.h"

namespace quillory::cli {
namespace {

struct CellsOptions {
  std::string file;
  std::string sheet;
  std::string backend = "auto";
};

int RunCells(const CellsOptions& options, bool one_sheet, CommandContext& context) {
  auto& err = context.err;
  const auto factory =
      context.env.applications ? context.env.applications(options.backend) : nullptr;
  if (!factory) {
    err << "quillory-cli: unknown backend \"" << options.backend
        << "\" (use auto, embedded or libreoffice)\n";
    return 1;
  }
  try {
    auto application = factory(options.file);
    if (!application) {
      err << "quillory-cli: " << options.file << ": no spreadsheet application can open it\n";
      return 1;
    }
    auto book = application->Open(options.file);
    bool found = false;
    for (workbook::Worksheet* sheet : book->Worksheets()) {
      const std::string name = sheet->Name();
      if (one_sheet && name != options.sheet) continue;
      found = true;
      const auto cells = sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn());
      for (const auto& cell : cells) {
        context.out << EscapeField(name);
        context.out << '\t';
        context.out << workbook::CellName(cell.row, cell.column) << '\t';
        context.out << EscapeField(cell.text);
        context.out << '\n';
      }
    }
    book->Close();
    application->Quit();
    if (one_sheet && !found) {
      err << "quillory-cli: " << options.file << ": no worksheet named \"" << options.sheet
          << "\"\n";
      return 1;
    }
  } catch (const std::bad_alloc&) {
    err << "quillory-cli: " << options.file << ": there is not enough memory to read it\n";
    return 1;
  } catch (const std::exception& e) {
    err << "quillory-cli: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

void AddCellsCommand(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<CellsOptions>();
  CLI::App* command = app.add_subcommand(
      "cells", "Print every non-empty cell of the used ranges: sheet, cell, displayed text");
  command->add_option("FILE", options->file, "The workbook")->required();
  CLI::Option* sheet = command->add_option("--sheet", options->sheet, "Only this worksheet");
  command->add_option("--backend", options->backend, "auto, embedded or libreoffice")
      ->capture_default_str();
  command->callback([&context, options, sheet] {
    context.exit_code = RunCells(*options, sheet->count() > 0, context);
  });
}

}  // namespace quillory::cli
