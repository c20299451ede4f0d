#include <zip.h>

#include <pugixml.hpp>

#include <memory>

#include "platform/libreoffice/biff_sheets.h"
#include "platform/libreoffice/zip_part.h"

namespace quillory::libreoffice {
SourceWorkbook ReadOoxmlSheets(const std::string& path) {
  SourceWorkbook workbook;
  int error = 0;
  std::unique_ptr<zip_t, void (*)(zip_t*)> archive(zip_open(path.c_str(), ZIP_RDONLY, &error),
                                                   &zip_discard);
  if (!archive) return workbook;
  pugi::xml_document book, relations;
  const std::string book_xml = ReadZipPart(archive.get(), "xl/workbook.xml");
  const std::string relations_xml = ReadZipPart(archive.get(), "xl/_rels/workbook.xml.rels");
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
