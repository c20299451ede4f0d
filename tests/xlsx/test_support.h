#pragma once

#include <xlsxwriter.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Helpers shared by the engine's tests: a scratch folder, workbooks made with libxlsxwriter,
// the parts of a package, and LibreOffice as an outside reader.
namespace quillory::xlsx::testing {

// The sample workbooks of tests/data/corpus and their expected texts.
inline std::string CorpusDir() {
  return QUILLORY_CORPUS;
}
inline std::string DataDir() {
  return QUILLORY_TEST_DATA;
}

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillory-xlsx-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The bytes of `path`; a file that cannot be read fails the test that asked for it.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Makes a workbook at `path` with libxlsxwriter; `fill` adds sheets and cells.
inline void MakeWorkbook(const std::string& path, const std::function<void(lxw_workbook*)>& fill) {
  lxw_workbook* book = workbook_new(path.c_str());
  ASSERT_NE(book, nullptr);
  fill(book);
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

// Every part of a package, name -> uncompressed bytes.
inline std::map<std::string, std::string> ReadParts(const std::string& path) {
  std::map<std::string, std::string> parts;
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) return parts;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0) continue;
    std::string content(stat.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    if (!file) continue;
    const zip_int64_t got = zip_fread(file, content.data(), stat.size);
    zip_fclose(file);
    content.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    parts[stat.name] = content;
  }
  zip_discard(archive);
  return parts;
}

// Rewrites the package at `path` with `part` replaced (or added) by `content`.
inline void PutPart(const std::string& path, const std::string& part, const std::string& content) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), 0, &error);
  ASSERT_NE(archive, nullptr);
  zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
  ASSERT_GE(zip_file_add(archive, part.c_str(), source, ZIP_FL_OVERWRITE), 0);
  ASSERT_EQ(zip_close(archive), 0);
}

inline void DropPart(const std::string& path, const std::string& part) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), 0, &error);
  ASSERT_NE(archive, nullptr);
  const zip_int64_t index = zip_name_locate(archive, part.c_str(), 0);
  ASSERT_GE(index, 0);
  ASSERT_EQ(zip_delete(archive, static_cast<zip_uint64_t>(index)), 0);
  ASSERT_EQ(zip_close(archive), 0);
}

// Makes a package from scratch: part name -> content, stored in the given order.
inline void MakePackage(const std::string& path,
                        const std::vector<std::pair<std::string, std::string>>& parts) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, content] : parts) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

inline bool HaveLibreOffice() {
  return std::system("command -v soffice >/dev/null 2>&1") == 0;
}

// LibreOffice's reading of a workbook: sheet name -> rows of CSV fields (as shown, or the
// formulas with `formulas`). Empty when LibreOffice could not open it.
inline std::map<std::string, std::vector<std::vector<std::string>>> LibreOfficeSheets(
    const std::string& workbook, bool formulas = false) {
  std::map<std::string, std::vector<std::vector<std::string>>> sheets;
  const std::filesystem::path source(workbook);
  const std::string out_dir = workbook + ".lo";
  std::filesystem::create_directories(out_dir);
  const std::string profile = out_dir + "/profile";
  const std::string filter =
      std::string("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,") +
      (formulas ? "true,true" : "true,false") + ",false,-1";
  const std::string command = "soffice -env:UserInstallation=file://" + profile +
                              " --headless --convert-to '" + filter + "' --outdir '" + out_dir +
                              "' '" + workbook + "' >/dev/null 2>&1";
  // A fresh profile can make LibreOffice's first start end early (it restarts itself to finish
  // setting the profile up); a second try then succeeds.
  bool converted = false;
  for (int attempt = 0; attempt < 3 && !converted; ++attempt) {
    converted = std::system(command.c_str()) == 0;
  }
  if (!converted) return sheets;
  const std::string stem = source.stem().string() + "-";
  for (const auto& entry : std::filesystem::directory_iterator(out_dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".csv" || !name.starts_with(stem)) continue;
    const std::string sheet = name.substr(stem.size(), name.size() - stem.size() - 4);
    const std::string text = ReadFile(entry.path().string());
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (quoted) {
        if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
          field.push_back('"');
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          field.push_back(c);
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        fields.push_back(field);
        field.clear();
      } else if (c == '\n') {
        fields.push_back(field);
        field.clear();
        rows.push_back(fields);
        fields.clear();
      } else if (c != '\r') {
        field.push_back(c);
      }
    }
    if (!field.empty() || !fields.empty()) {
      fields.push_back(field);
      rows.push_back(fields);
    }
    sheets[sheet] = rows;
  }
  std::error_code ignored;
  std::filesystem::remove_all(profile, ignored);
  return sheets;
}

// The field at A1-style `row`/`column` (1-based) of a LibreOffice sheet, "" past its end.
inline std::string Field(const std::vector<std::vector<std::string>>& rows, int row, int column) {
  if (row < 1 || static_cast<std::size_t>(row) > rows.size()) return "";
  const auto& fields = rows[static_cast<std::size_t>(row - 1)];
  if (column < 1 || static_cast<std::size_t>(column) > fields.size()) return "";
  return fields[static_cast<std::size_t>(column - 1)];
}

}  // namespace quillory::xlsx::testing
