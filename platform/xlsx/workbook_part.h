#pragma once

#include <string>
#include <vector>

#include "platform/xlsx/read_budget.h"

namespace quillory::xlsx {

// xl/workbook.xml: the sheets in workbook order, the date system and the active sheet.
class WorkbookPart {
 public:
  struct Sheet {
    std::string name;
    std::string relationship_id;
    std::string state;  // "visible", "hidden", "veryHidden"
  };

  WorkbookPart(const std::string& xml, const std::string& file, const std::string& part,
               const ReadLimits& limits = {});

  const std::vector<Sheet>& sheets() const { return sheets_; }
  bool date1904() const { return date1904_; }
  // Index into sheets() of the active tab (counts every kind of sheet).
  std::size_t active_tab() const { return active_tab_; }

  // `xml` with calcPr fullCalcOnLoad="1", so the application recalculates everything on load.
  static std::string WithFullCalcOnLoad(const std::string& xml);

 private:
  std::vector<Sheet> sheets_;
  bool date1904_ = false;
  std::size_t active_tab_ = 0;
};

}  // namespace quillory::xlsx
