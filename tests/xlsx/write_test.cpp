#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "platform/xlsx/xlsx_application.h"
#include "tests/xlsx/test_support.h"

// Writing strings into cells and saving in place, checked with this engine, the package's parts
// and LibreOffice as an outside reader.
namespace quillory::xlsx {
namespace {

using namespace testing;

struct StoredEntry {
  zip_uint64_t compressed_size = 0;
  zip_uint32_t crc = 0;
  zip_uint16_t method = 0;
};

std::map<std::string, StoredEntry> StoredEntries(const std::string& path) {
  std::map<std::string, StoredEntry> entries;
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) return entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
    entries[stat.name] = {stat.comp_size, stat.crc, stat.comp_method};
  }
  zip_discard(archive);
  return entries;
}

workbook::Worksheet* SheetNamed(workbook::Workbook& book, const std::string& name) {
  for (auto* sheet : book.Worksheets()) {
    if (sheet->Name() == name) return sheet;
  }
  return nullptr;
}

// The start tag of cell `ref` in a worksheet part.
std::string CellTag(const std::string& sheet_xml, const std::string& ref) {
  const auto at = sheet_xml.find("<c r=\"" + ref + "\"");
  if (at == std::string::npos) return "";
  return sheet_xml.substr(at, sheet_xml.find('>', at) - at + 1);
}

void MakeMixedWorkbook(const std::string& path) {
  MakeWorkbook(path, [](lxw_workbook* book) {
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "#,##0.00");
    lxw_worksheet* data = workbook_add_worksheet(book, "Data");
    worksheet_write_string(data, 0, 0, "label", nullptr);
    worksheet_write_number(data, 0, 1, 1234.5, money);
    worksheet_write_number(data, 1, 0, 42, nullptr);
    worksheet_write_number(data, 1, 1, -7.25, money);
    worksheet_write_formula_num(data, 2, 0, "=A2*2", nullptr, 84);
    worksheet_write_string(data, 3, 2, "keep me", nullptr);
    lxw_worksheet* other = workbook_add_worksheet(book, "Other");
    worksheet_write_number(other, 0, 0, 3.5, nullptr);
  });
}

TEST(WriteString, RoundTripsThroughTheEngineAndLeavesOtherPartsAsStored) {
  ScratchDir dir;
  const std::string path = dir / "mixed.xlsx";
  MakeMixedWorkbook(path);
  const auto before = StoredEntries(path);
  const auto parts_before = ReadParts(path);
  chmod(path.c_str(), 0640);

  const std::string awkward = "  <a & b> \"q\" \t tab\nline_x0041_ \x01\x1f end ";
  {
    auto book = MakeEmbeddedApplication()->Open(path);
    auto* data = SheetNamed(*book, "Data");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->Text(1, 2), "1,234.50");
    data->WriteString(1, 2, "One Thousand Two Hundred Thirty Four Point Five");
    data->WriteString(2, 1, awkward);
    data->WriteString(2, 2, "");            // empties the cell, style kept
    data->WriteString(40, 30, "far away");  // a cell the sheet did not have
    data->WriteString(4, 2, "between");     // a new cell inside an existing row
    EXPECT_EQ(data->Text(1, 2), "One Thousand Two Hundred Thirty Four Point Five");
    EXPECT_EQ(data->Text(40, 30), "far away");
    EXPECT_EQ(data->LastRow(), 40);
    EXPECT_EQ(data->LastColumn(), 30);
    book->Save();
    // The saved workbook carries on: more writes and a second save.
    data->WriteString(1, 1, "second save");
    book->Save();
  }

  auto book = MakeEmbeddedApplication()->Open(path);
  auto* data = SheetNamed(*book, "Data");
  EXPECT_EQ(data->Text(1, 1), "second save");
  EXPECT_EQ(data->Text(1, 2), "One Thousand Two Hundred Thirty Four Point Five");
  EXPECT_EQ(data->Text(2, 1), awkward);
  EXPECT_EQ(data->Text(2, 2), "");
  EXPECT_EQ(data->Text(3, 1), "84");
  EXPECT_EQ(data->Text(4, 2), "between");
  EXPECT_EQ(data->Text(4, 3), "keep me");
  EXPECT_EQ(data->Text(40, 30), "far away");
  const auto cells = data->NonEmptyCells(1, 1, data->LastRow(), data->LastColumn());
  ASSERT_EQ(cells.size(), 7u);
  EXPECT_EQ(cells.back().row, 40);

  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  const auto parts = ReadParts(path);
  const std::string sheet = parts.at("xl/worksheets/sheet1.xml");
  for (const char c : sheet)
    EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') << int(c);
  EXPECT_NE(CellTag(sheet, "B1").find("s=\"1\""), std::string::npos) << CellTag(sheet, "B1");
  EXPECT_NE(CellTag(sheet, "B2").find("s=\"1\""), std::string::npos) << CellTag(sheet, "B2");
  EXPECT_NE(sheet.find("xml:space=\"preserve\""), std::string::npos);
  // Hints that no longer hold after cells were added are updated or dropped.
  EXPECT_NE(sheet.find("<dimension ref=\"A1:AD40\"/>"), std::string::npos);
  EXPECT_NE(sheet.find("<row r=\"4\">"), std::string::npos);
  // Nothing but the written sheet changed; the others were copied as stored.
  const auto after = StoredEntries(path);
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [name, entry] : before) {
    if (name == "xl/worksheets/sheet1.xml") continue;
    ASSERT_TRUE(after.count(name)) << name;
    EXPECT_EQ(after.at(name).crc, entry.crc) << name;
    EXPECT_EQ(after.at(name).compressed_size, entry.compressed_size) << name;
    EXPECT_EQ(parts.at(name), parts_before.at(name)) << name;
  }

  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  const auto shown = LibreOfficeSheets(path);
  ASSERT_TRUE(shown.count("Data")) << "LibreOffice could not open the saved workbook";
  EXPECT_EQ(Field(shown.at("Data"), 1, 1), "second save");
  EXPECT_EQ(Field(shown.at("Data"), 1, 2), "One Thousand Two Hundred Thirty Four Point Five");
  EXPECT_EQ(Field(shown.at("Data"), 40, 30), "far away");
  EXPECT_EQ(Field(shown.at("Data"), 4, 3), "keep me");
  EXPECT_EQ(Field(shown.at("Other"), 1, 1), "3.5");
}

TEST(WriteString, SharedFormulaGroupsKeepComputingWhenTheirMasterIsOverwritten) {
  ScratchDir dir;
  const std::string path = dir / "shared.xlsx";
  WriteFile(path, ReadFile(CorpusDir() + "/hand_shared_fmla.xlsx"));
  const auto before = StoredEntries(path);
  {
    auto book = MakeEmbeddedApplication()->Open(path);
    auto* sheet = SheetNamed(*book, "Formulas");
    sheet->WriteString(2, 2, "master gone");      // B2: master of B2:B6
    sheet->WriteString(3, 3, "master gone");      // C3: master of C3:C6
    sheet->WriteString(4, 2, "member gone");      // B4: a member; B5, B6 keep computing
    sheet->WriteString(8, 2, "row master gone");  // B8: master of B8:E8
    EXPECT_THROW(sheet->WriteString(3, 4, "x"), workbook::CellWriteRefused);  // in D2:D4
    book->Save();
  }
  auto book = MakeEmbeddedApplication()->Open(path);
  auto* sheet = SheetNamed(*book, "Formulas");
  EXPECT_EQ(sheet->Text(3, 2), "4");
  EXPECT_EQ(sheet->Text(5, 2), "8");
  EXPECT_EQ(sheet->Text(4, 4), "30");

  const auto parts = ReadParts(path);
  const std::string xml = parts.at("xl/worksheets/sheet1.xml");
  EXPECT_NE(xml.find("<f t=\"shared\" si=\"0\" ref=\"B3:B6\">A3*2</f>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<f t=\"shared\" si=\"1\" ref=\"C4:C6\">B4*1.5</f>"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<f t=\"shared\" si=\"2\" ref=\"C8:E8\">B8+1</f>"), std::string::npos) << xml;
  // Formulas were removed: no calculation chain, and a full recalculation on load.
  EXPECT_FALSE(parts.count("xl/calcChain.xml"));
  EXPECT_EQ(parts.at("xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
  EXPECT_EQ(parts.at("[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_NE(parts.at("xl/workbook.xml").find("<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>"),
            std::string::npos);
  const auto after = StoredEntries(path);
  for (const std::string name : {"xl/worksheets/sheet2.xml", "xl/styles.xml"}) {
    EXPECT_EQ(after.at(name).crc, before.at(name).crc) << name;
  }

  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  const auto formulas = LibreOfficeSheets(path, true);
  ASSERT_TRUE(formulas.count("Formulas"));
  const auto& f = formulas.at("Formulas");
  EXPECT_EQ(Field(f, 3, 2), "=A3*2");
  EXPECT_EQ(Field(f, 5, 2), "=A5*2");
  EXPECT_EQ(Field(f, 6, 2), "=A6*2");
  EXPECT_EQ(Field(f, 4, 3), "=B4*1.5");
  EXPECT_EQ(Field(f, 6, 3), "=B6*1.5");
  EXPECT_EQ(Field(f, 8, 4), "=C8+1");
  const auto values = LibreOfficeSheets(path);
  const auto& v = values.at("Formulas");
  EXPECT_EQ(Field(v, 3, 2), "4");
  EXPECT_EQ(Field(v, 6, 2), "10");
  EXPECT_EQ(Field(v, 5, 3), "12");
  EXPECT_EQ(Field(v, 2, 2), "master gone");
}

// A hand-written package: prefixed names, extension lists, unknown namespaces and attributes.
const char kContentTypes[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/worksheets/sheet2.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/chartsheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml"/></Types>)";
const char kRootRels[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument" Target="/xl/workbook.xml"/></Relationships>)";
const char kWorkbook[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<x:workbook xmlns:x="http://purl.oclc.org/ooxml/spreadsheetml/main" xmlns:rel="http://purl.oclc.org/ooxml/officeDocument/relationships"><x:bookViews><x:workbookView activeTab="2"/></x:bookViews><x:sheets><x:sheet name="Chart" sheetId="3" rel:id="rId3"/><x:sheet name="Plain &amp; Simple" sheetId="1" rel:id="rId1"/><x:sheet name="Hidden" sheetId="2" state="hidden" rel:id="rId2"/></x:sheets></x:workbook>)";
const char kWorkbookRels[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet" Target="worksheets/./sheet1.xml"/><Relationship Id="rId2" Type="http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/><Relationship Id="rId3" Type="http://purl.oclc.org/ooxml/officeDocument/relationships/chartsheet" Target="../xl/chartsheets/sheet1.xml"/></Relationships>)";
const char kSheet1[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<x:worksheet xmlns:x="http://purl.oclc.org/ooxml/spreadsheetml/main" xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" xmlns:q="urn:example:unknown" mc:Ignorable="q" q:flag="kept"><x:dimension ref="A1"/><x:sheetData>
  <x:row r="2" q:rowNote="r"><x:c r="B2" t="inlineStr" q:cellNote="c"><x:is><x:r><x:t>rich </x:t></x:r><x:r><x:rPr><x:b/></x:rPr><x:t>text</x:t></x:r><x:rPh sb="0" eb="1"><x:t>PHONETIC</x:t></x:rPh></x:is><x:extLst><x:ext uri="{cell}"><q:thing/></x:ext></x:extLst></x:c><x:c r="C2"><x:v>2.5</x:v></x:c></x:row>
  <!-- a comment between rows -->
  <x:row><x:c><x:v>1</x:v></x:c><x:c t="b"><x:v>0</x:v></x:c><x:c t="e"><x:v>#N/A</x:v></x:c><x:c t="d"><x:v>2024-01-15T12:00:00</x:v></x:c></x:row>
  <x:row r="5"><x:c r="A5" t="str"><x:f>"a"&amp;"b"</x:f><x:v>ab</x:v></x:c><x:c r="B5"><x:f>1/0</x:f></x:c><x:c r="C5" s="0"/><x:c r="D5"><x:v><![CDATA[7]]></x:v></x:c></x:row>
</x:sheetData><q:unknown a="1"><q:child/></q:unknown><x:extLst><x:ext uri="{sheet}"><q:more/></x:ext></x:extLst></x:worksheet>)";
const char kSheet2[] =
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData/></worksheet>)";
const char kChartSheet[] =
    R"(<chartsheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"/>)";

void MakeHandPackage(const std::string& path) {
  MakePackage(path, {{"[Content_Types].xml", kContentTypes},
                     {"_rels/.rels", kRootRels},
                     {"xl/workbook.xml", kWorkbook},
                     {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                     {"xl/worksheets/sheet1.xml", kSheet1},
                     {"xl/worksheets/sheet2.xml", kSheet2},
                     {"xl/chartsheets/sheet1.xml", kChartSheet}});
}

TEST(HandWrittenPackage, ReadsPrefixedStrictPartsAndKeepsWhatItDoesNotKnow) {
  ScratchDir dir;
  const std::string path = dir / "hand.xlsx";
  MakeHandPackage(path);
  {
    auto book = MakeEmbeddedApplication()->Open(path);
    const auto sheets = book->Worksheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0]->Name(), "Plain & Simple");
    EXPECT_EQ(sheets[1]->Name(), "Hidden");
    EXPECT_FALSE(sheets[0]->Hidden());
    EXPECT_TRUE(sheets[1]->Hidden());
    EXPECT_EQ(book->ActiveSheet().Name(), "Hidden");  // tab 2 counts the chart sheet
    auto* sheet = sheets[0];
    EXPECT_EQ(sheet->Text(2, 2), "rich text");
    EXPECT_EQ(sheet->Text(2, 3), "2.5");
    EXPECT_EQ(sheet->Text(3, 1), "1");  // row 3 and its cells have no r attribute
    EXPECT_EQ(sheet->Text(3, 2), "FALSE");
    EXPECT_EQ(sheet->Text(3, 3), "#N/A");
    EXPECT_EQ(sheet->Text(5, 1), "ab");
    EXPECT_EQ(sheet->Text(5, 2), "");
    EXPECT_EQ(sheet->Text(5, 4), "7");
    EXPECT_EQ(sheet->LastRow(), 5);
    EXPECT_EQ(sheet->LastColumn(), 4);
    EXPECT_EQ(sheets[1]->LastRow(), 1);
    EXPECT_TRUE(sheets[1]->NonEmptyCells(1, 1, 1, 1).empty());

    sheet->WriteString(2, 2, "replaced");
    sheet->WriteString(3, 2, "no ref");
    sheet->WriteString(5, 1, "was a formula");
    sheets[1]->WriteString(1, 1, "into an empty sheet");
    book->Save();
  }
  auto book = MakeEmbeddedApplication()->Open(path);
  auto* sheet = book->Worksheets()[0];
  EXPECT_EQ(sheet->Text(2, 2), "replaced");
  EXPECT_EQ(sheet->Text(3, 1), "1");
  EXPECT_EQ(sheet->Text(3, 2), "no ref");
  EXPECT_EQ(sheet->Text(3, 3), "#N/A");
  EXPECT_EQ(sheet->Text(5, 1), "was a formula");
  EXPECT_EQ(book->Worksheets()[1]->Text(1, 1), "into an empty sheet");

  const auto parts = ReadParts(path);
  const std::string xml = parts.at("xl/worksheets/sheet1.xml");
  for (const char* kept :
       {"q:flag=\"kept\"", "mc:Ignorable=\"q\"", "q:rowNote=\"r\"", "q:cellNote=\"c\"",
        "<x:ext uri=\"{cell}\"><q:thing/></x:ext>", "<q:unknown a=\"1\"><q:child/></q:unknown>",
        "<x:ext uri=\"{sheet}\"><q:more/></x:ext>", "<!-- a comment between rows -->",
        "<x:c r=\"B2\" q:cellNote=\"c\" "
        "t=\"inlineStr\"><x:is><x:t>replaced</x:t></x:is><x:extLst>"}) {
    EXPECT_NE(xml.find(kept), std::string::npos) << kept << "\n" << xml;
  }
  EXPECT_EQ(xml.find("PHONETIC"), std::string::npos);
  EXPECT_NE(parts.at("xl/workbook.xml").find("<x:calcPr fullCalcOnLoad=\"1\"/></x:workbook>"),
            std::string::npos)
      << parts.at("xl/workbook.xml");
  EXPECT_EQ(parts.at("xl/chartsheets/sheet1.xml"), kChartSheet);
}

TEST(HandWrittenPackage, AnActiveChartSheetIsAFailureNamingIt) {
  ScratchDir dir;
  const std::string path = dir / "chart.xlsx";
  std::string workbook = kWorkbook;
  workbook.replace(workbook.find("activeTab=\"2\""), 13, "activeTab=\"0\"");
  MakePackage(path, {{"[Content_Types].xml", kContentTypes},
                     {"_rels/.rels", kRootRels},
                     {"xl/workbook.xml", workbook},
                     {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                     {"xl/worksheets/sheet1.xml", kSheet1},
                     {"xl/worksheets/sheet2.xml", kSheet2},
                     {"xl/chartsheets/sheet1.xml", kChartSheet}});
  auto book = MakeEmbeddedApplication()->Open(path);
  try {
    book->ActiveSheet();
    FAIL() << "an active chart sheet was taken as a worksheet";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_EQ(e.file(), path);
    EXPECT_NE(e.reason().find("\"Chart\""), std::string::npos) << e.reason();
  }
}

TEST(HandWrittenPackage, CellsOfADataTableAreRefused) {
  ScratchDir dir;
  const std::string path = dir / "table.xlsx";
  std::string sheet = kSheet2;
  sheet.replace(sheet.find("<sheetData/>"), 12,
                "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"dataTable\" "
                "ref=\"B1:B2\" dt2D=\"0\" dtr=\"0\" r1=\"A1\"/><v>5</v></c></row><row r=\"2\"><c "
                "r=\"B2\"><v>6</v></c></row></sheetData>");
  MakePackage(path, {{"[Content_Types].xml", kContentTypes},
                     {"_rels/.rels", kRootRels},
                     {"xl/workbook.xml", kWorkbook},
                     {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                     {"xl/worksheets/sheet1.xml", kSheet1},
                     {"xl/worksheets/sheet2.xml", sheet},
                     {"xl/chartsheets/sheet1.xml", kChartSheet}});
  const std::string bytes = ReadFile(path);
  auto book = MakeEmbeddedApplication()->Open(path);
  auto* hidden = book->Worksheets()[1];
  try {
    hidden->WriteString(2, 2, "x");
    FAIL() << "a data table cell was overwritten";
  } catch (const workbook::CellWriteRefused& e) {
    EXPECT_NE(e.reason().find("Hidden!B2"), std::string::npos) << e.reason();
    EXPECT_NE(e.reason().find("data table"), std::string::npos) << e.reason();
  }
  EXPECT_EQ(hidden->Text(2, 2), "6");
  hidden->WriteString(1, 1, "fine");  // outside the table
  EXPECT_EQ(hidden->Text(1, 1), "fine");
  book->Close();
  EXPECT_EQ(ReadFile(path), bytes);  // closing without saving leaves the file alone
}

// A pivot table with a filter field above it (F6:G9 and F4:G4) and one without (J2:K3), as
// LibreOffice writes them; a third relationship names a damaged part, which is passed over.
TEST(WriteString, CellsOfAPivotTableAreRefusedOneByOne) {
  ScratchDir dir;
  const std::string path = dir / "pivot.xlsx";
  MakeWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
    for (int row = 1; row <= 9; ++row) {
      for (int column = 4; column <= 11; ++column)
        worksheet_write_number(sheet, row, column, 1, nullptr);
    }
  });
  const auto pivot = [](const char* name, const char* location) {
    return std::string(
               "<?xml version=\"1.0\"?><pivotTableDefinition xmlns=\"http://"
               "schemas.openxmlformats.org/spreadsheetml/2006/main\" name=\"") +
           name + "\" cacheId=\"1\" dataCaption=\"Values\">" + location +
           "<pivotFields count=\"0\"/></pivotTableDefinition>";
  };
  PutPart(path, "xl/pivotTables/pivotTable1.xml",
          pivot("Sales",
                "<location ref=\"F6:G9\" firstHeaderRow=\"1\" firstDataRow=\"1\" "
                "firstDataCol=\"1\" rowPageCount=\"1\" colPageCount=\"1\"/>"));
  PutPart(path, "xl/pivotTables/pivotTable2.xml",
          pivot("Small",
                "<location ref=\"J2:K3\" firstHeaderRow=\"1\" firstDataRow=\"1\" "
                "firstDataCol=\"1\"/>"));
  PutPart(path, "xl/pivotTables/pivotTable3.xml", "<pivotTableDefinition><location ref=");
  const std::string type =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/pivotTable";
  PutPart(path, "xl/worksheets/_rels/sheet1.xml.rels",
          "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/"
          "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
              type +
              "\" Target=\"../pivotTables/pivotTable1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
              type +
              "\" Target=\"/xl/pivotTables/pivotTable2.xml\"/><Relationship Id=\"rId3\" "
              "Type=\"" +
              type + "\" Target=\"../pivotTables/pivotTable3.xml\"/></Relationships>");

  auto book = MakeEmbeddedApplication()->Open(path);
  auto* sheet = book->Worksheets()[0];
  for (const auto& [row, column] :
       std::vector<std::pair<int, int>>{{6, 6}, {9, 7}, {4, 6}, {4, 7}, {5, 7}, {2, 10}, {3, 11}}) {
    try {
      sheet->WriteString(row, column, "x");
      ADD_FAILURE() << "wrote into the pivot table at row " << row << ", column " << column;
    } catch (const workbook::CellWriteRefused& e) {
      EXPECT_NE(e.reason().find(" is part of the pivot table \""), std::string::npos) << e.reason();
    }
  }
  try {
    sheet->WriteString(7, 7, "x");
  } catch (const workbook::CellWriteRefused& e) {
    EXPECT_EQ(e.reason(),
              "cell Data!G7 is part of the pivot table \"Sales\" (F4:G9) and cannot be replaced on "
              "its own");
  }
  EXPECT_EQ(sheet->Text(7, 7), "1");
  for (const auto& [row, column] :
       std::vector<std::pair<int, int>>{{3, 6}, {6, 5}, {6, 8}, {10, 6}, {4, 10}, {2, 9}}) {
    EXPECT_NO_THROW(sheet->WriteString(row, column, "x")) << row << "," << column;
  }
}

TEST(WriteString, LockedCellsOfAProtectedSheetAreAFailureUnlockedOnesAreWritten) {
  ScratchDir dir;
  const std::string path = dir / "protected.xlsx";
  WriteFile(path, ReadFile(CorpusDir() + "/ej_formulas.xlsx"));
  auto book = MakeEmbeddedApplication()->Open(path);
  auto* sheet = SheetNamed(*book, "Protected");
  try {
    sheet->WriteString(1, 1, "One Hundred Twenty Three");
    FAIL() << "a locked cell of a protected sheet was written";
  } catch (const workbook::CellWriteRefused&) {
    FAIL() << "a protected sheet ends the run; it is not one skipped cell";
  } catch (const workbook::WorkbookError& e) {
    EXPECT_NE(e.reason().find("protected"), std::string::npos) << e.reason();
  }
  EXPECT_EQ(sheet->Text(1, 1), "123");
  sheet->WriteString(2, 1, "Four Hundred Fifty Six");  // its style unlocks it
  EXPECT_EQ(sheet->Text(2, 1), "Four Hundred Fifty Six");
  SheetNamed(*book, "Calc")->WriteString(1, 1, "unprotected sheet");
}

TEST(LibreOfficeWorkbook, ReadsAndRewritesAWorkbookLibreOfficeMadeFromCsv) {
  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  ScratchDir dir;
  WriteFile(dir / "made.csv", "name,amount\nApples,1234.5\nPears,-7\n\"with, comma\",0.125\n");
  const std::string command = "soffice -env:UserInstallation=file://" + (dir / "profile") +
                              " --headless --convert-to xlsx --outdir '" + dir.path() + "' '" +
                              (dir / "made.csv") + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string path = dir / "made.xlsx";
  {
    auto book = MakeEmbeddedApplication()->Open(path);
    auto* sheet = book->Worksheets().at(0);
    EXPECT_EQ(sheet->Text(1, 1), "name");
    EXPECT_EQ(sheet->Text(2, 2), "1234.5");
    EXPECT_EQ(sheet->Text(3, 2), "-7");
    EXPECT_EQ(sheet->Text(4, 1), "with, comma");
    EXPECT_EQ(sheet->Text(4, 2), "0.125");
    EXPECT_EQ(sheet->LastRow(), 4);
    EXPECT_EQ(sheet->LastColumn(), 2);
    sheet->WriteString(2, 2, "One Thousand Two Hundred Thirty Four Point Five");
    sheet->WriteString(3, 2, "Minus Seven");
    book->Save();
  }
  const auto shown = LibreOfficeSheets(path);
  ASSERT_EQ(shown.size(), 1u);
  const auto& rows = shown.begin()->second;
  EXPECT_EQ(Field(rows, 2, 2), "One Thousand Two Hundred Thirty Four Point Five");
  EXPECT_EQ(Field(rows, 3, 2), "Minus Seven");
  EXPECT_EQ(Field(rows, 4, 1), "with, comma");
  EXPECT_EQ(Field(rows, 4, 2), "0.125");
}

TEST(WriteString, ABigSheetIsReadWrittenAndCompressedInHalvesCorrectly) {
  // Big enough (over 8 MB of sheet markup) for the two-thread reading, writing and deflating.
  constexpr int kRows = 15000, kColumns = 20;
  ScratchDir dir;
  const std::string path = dir / "big.xlsx";
  MakeWorkbook(path, [](lxw_workbook* book) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Big");
    for (int row = 0; row < kRows; ++row) {
      for (int column = 0; column < kColumns; ++column) {
        worksheet_write_number(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                               row * 100.0 + column, nullptr);
      }
    }
  });
  auto word = [](int row, int column) {
    return "Row " + std::to_string(row) + " Column " + std::to_string(column) + " in words";
  };
  {
    auto book = MakeEmbeddedApplication()->Open(path);
    auto* sheet = book->Worksheets().at(0);
    ASSERT_EQ(sheet->LastRow(), kRows);
    EXPECT_EQ(sheet->Text(kRows, kColumns), std::to_string((kRows - 1) * 100 + kColumns - 1));
    for (int row = 1; row <= kRows; ++row) {
      for (int column = 1; column <= kColumns; column += 2)
        sheet->WriteString(row, column, word(row, column));
    }
    book->Save();
  }
  auto book = MakeEmbeddedApplication()->Open(path);
  auto* sheet = book->Worksheets().at(0);
  const auto cells = sheet->NonEmptyCells(1, 1, kRows, kColumns);
  ASSERT_EQ(cells.size(), static_cast<std::size_t>(kRows * kColumns));
  for (const auto& cell : cells) {
    const std::string want = cell.column % 2 == 1
                                 ? word(cell.row, cell.column)
                                 : std::to_string((cell.row - 1) * 100 + cell.column - 1);
    ASSERT_EQ(cell.text, want) << cell.row << "," << cell.column;
  }
  if (!HaveLibreOffice()) GTEST_SKIP() << "LibreOffice is not installed";
  const auto shown = LibreOfficeSheets(path);
  ASSERT_TRUE(shown.count("Big"));
  EXPECT_EQ(Field(shown.at("Big"), 1, 1), word(1, 1));
  EXPECT_EQ(Field(shown.at("Big"), 7500, 19), word(7500, 19));
  EXPECT_EQ(Field(shown.at("Big"), kRows, kColumns),
            std::to_string((kRows - 1) * 100 + kColumns - 1));
}

TEST(MemoryWorkbook, ReadsLikeAFileButCannotBeSaved) {
  ScratchDir dir;
  MakeMixedWorkbook(dir / "m.xlsx");
  auto book = OpenWorkbookFromMemory(ReadFile(dir / "m.xlsx"), "m.xlsx");
  EXPECT_EQ(book->Worksheets()[0]->Text(2, 1), "42");
  book->Worksheets()[0]->WriteString(2, 1, "x");
  EXPECT_THROW(book->Save(), workbook::WorkbookError);
}

}  // namespace
}  // namespace quillory::xlsx
