#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xlsx/read_budget.h"

typedef struct zip zip_t;

namespace quillory::xlsx {

struct FileSource;

// The zip container of a workbook; the only class that talks to libzip. Part names are given
// without a leading slash and matched without regard to case. Failures throw WorkbookError
// naming the file.
class Package {
 public:
  // Opens the file at `path` for reading; a later Commit() rewrites it in place. A package
  // whose directory names one part twice (or two names differing only in letter case) is
  // refused as damaged, and every Read() is held to `limits`.
  static std::unique_ptr<Package> OpenFile(const std::string& path, const ReadLimits& limits = {});
  // Opens a package held in memory; `name` stands for the file in messages. Cannot be committed.
  static std::unique_ptr<Package> OpenMemory(std::string bytes, const std::string& name,
                                             const ReadLimits& limits = {});

  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  const std::string& name() const { return name_; }
  bool Has(std::string_view part) const;
  // The part's uncompressed content. Throws WorkbookError when it is missing or damaged, or
  // unpacks to more than the limits leave (too large to convert safely); std::bad_alloc when
  // memory runs out.
  std::string Read(std::string_view part) const;

  // Changes staged until Commit(): the new content of a part, or its removal.
  void Replace(const std::string& part, std::string content);
  void Remove(const std::string& part);
  bool HasChanges() const { return !replaced_.empty() || !removed_.empty(); }

  // Writes the staged changes: a new file beside the original with its owner and permissions,
  // synced and renamed over it, only while the original is still the file that was opened (see
  // workbook::FileReplacement). Parts not changed are copied through as stored. On failure the
  // original is untouched, the changes stay staged, and WorkbookError is thrown.
  void Commit();

  // The limits every read is held to.
  const ReadLimits& limits() const { return budget_.limits(); }
  // Memory the reading may still take beyond the parts' text, and taking some of it: an index
  // of a sheet's cells costs more than the cells' text.
  std::uint64_t MemoryLeft() const { return budget_.Allowance(0); }
  void Charge(std::uint64_t bytes) { budget_.Spend(0, bytes); }
  std::uint64_t FileSize() const { return budget_.file_size(); }

 private:
  Package(zip_t* archive, std::string name, std::string path, std::string bytes,
          const ReadLimits& limits, std::uint64_t size, std::unique_ptr<FileSource> file);
  long long Locate(std::string_view part) const;
  void CheckEntries() const;
  void Reopen();

  zip_t* archive_ = nullptr;
  std::string name_;
  std::string path_;                  // empty for a package held in memory
  std::string memory_;                // the bytes of a package held in memory
  std::unique_ptr<FileSource> file_;  // the file of a package opened from disk
  std::map<std::string, std::string> replaced_;
  std::vector<std::string> removed_;
  mutable ReadBudget budget_;
};

}  // namespace quillory::xlsx
