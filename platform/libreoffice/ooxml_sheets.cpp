#include <zip.h>

#include <pugixml.hpp>

#include <memory>

#include "platform/libreoffice/biff_sheets.h"

namespace quillory::libreoffice {
namespace {

std::string ReadEntry(zip_t* archive, const char* name) {
  zip_stat_t stat;
  if (zip_stat(archive, name, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return "";
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen(archive, name, 0), &zip_fclose);
  if (!file) return "";
  std::string bytes(stat.size, '\0');
  if (zip_fread(file.get(), bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
    return "";
  return bytes;
}

}  // namespace

SourceWorkbook ReadOoxmlSheets(const std::string& path) {
  SourceWorkbook workbook;
  int error = 0;
  std::unique_ptr<zip_t, void (*)(zip_t*)> archive(zip_open(path.c_str(), ZIP_RDONLY, &error),
                                                   &zip_discard);
  if (!archive) return workbook;
  pugi::xml_document book, relations;
  const std::string book_xml = ReadEntry(archive.get(), "xl/workbook.xml");
  const std::string relations_xml = ReadEntry(archive.get(), "xl/_rels/workbook.xml.rels");
  if (!book.load_buffer(book_xml.data(), book_xml.size()) ||
      !relations.load_buffer(relations_xml.data(), relations_xml.size())) {
    return workbook;
  }
  for (pugi::xml_node sheet : book.child("workbook").child("sheets").children("sheet")) {
    SourceSheet source;
    source.name = sheet.attribute("name").value();
    const std::string id = sheet.attribute("r:id").value();
    for (pugi::xml_node relation : relations.child("Relationships").children("Relationship")) {
      if (id != relation.attribute("Id").value()) continue;
      const std::string type = relation.attribute("Type").value();
      if (type.ends_with("/chartsheet"))
        source.kind = SheetKind::Chart;
      else if (type.ends_with("/macrosheet") || type.ends_with("/xlMacrosheet"))
        source.kind = SheetKind::MacroSheet;
      else if (type.ends_with("/dialogsheet"))
        source.kind = SheetKind::Other;
    }
    workbook.sheets.push_back(std::move(source));
  }
  return workbook;
}

}  // namespace quillory::libreoffice
