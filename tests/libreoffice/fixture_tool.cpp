// Makes test workbooks with LibreOffice: fixture_tool IN OUT FILTER OPTION [IN OUT FILTER
// OPTION]... stores IN as OUT through FILTER. OPTION is "-", "pivot=SOURCE@TARGET" to add a pivot
// table of the first sheet's SOURCE range at TARGET first ("pivot=A1:C5@F6": rows by the first
// column, the second column as its filter field, the sum of the third),
// "general=LANG-COUNTRY@RANGE" to give the first sheet's RANGE the General format of that locale
// ("general=de-DE@A1:A7"), or a password to encrypt OUT with.

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/DataPilotFieldOrientation.hpp>
#include <com/sun/star/sheet/GeneralFunction.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XDataPilotDescriptor.hpp>
#include <com/sun/star/sheet/XDataPilotTables.hpp>
#include <com/sun/star/sheet/XDataPilotTablesSupplier.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

#include <iostream>
#include <vector>

#include "platform/libreoffice/office.h"
#include "tests/libreoffice/office_tool.h"

using namespace com::sun::star;
using quillory::libreoffice::FileUrl;
using quillory::libreoffice::Office;

namespace {

beans::PropertyValue Property(const char* name, const uno::Any& value) {
  beans::PropertyValue property;
  property.Name = rtl::OUString::createFromAscii(name);
  property.Value = value;
  return property;
}

uno::Sequence<beans::PropertyValue> Properties(const std::vector<beans::PropertyValue>& list) {
  uno::Sequence<beans::PropertyValue> properties(static_cast<sal_Int32>(list.size()));
  std::copy(list.begin(), list.end(), properties.getArray());
  return properties;
}

void AddPivotTable(const uno::Reference<lang::XComponent>& component, const std::string& source,
                   const std::string& target) {
  uno::Reference<sheet::XSpreadsheetDocument> document(component, uno::UNO_QUERY_THROW);
  uno::Reference<container::XIndexAccess> sheets(document->getSheets(), uno::UNO_QUERY_THROW);
  uno::Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
  const auto address = [&](const std::string& name) {
    return uno::Reference<sheet::XCellRangeAddressable>(
               sheet->getCellRangeByName(rtl::OUString::fromUtf8(name.c_str())),
               uno::UNO_QUERY_THROW)
        ->getRangeAddress();
  };
  uno::Reference<sheet::XDataPilotTables> tables =
      uno::Reference<sheet::XDataPilotTablesSupplier>(sheet, uno::UNO_QUERY_THROW)
          ->getDataPilotTables();
  uno::Reference<sheet::XDataPilotDescriptor> descriptor = tables->createDataPilotDescriptor();
  descriptor->setSourceRange(address(source));
  uno::Reference<container::XIndexAccess> fields = descriptor->getDataPilotFields();
  const auto field = [&](sal_Int32 index) {
    return uno::Reference<beans::XPropertySet>(fields->getByIndex(index), uno::UNO_QUERY_THROW);
  };
  field(0)->setPropertyValue("Orientation", uno::Any(sheet::DataPilotFieldOrientation_ROW));
  field(1)->setPropertyValue("Orientation", uno::Any(sheet::DataPilotFieldOrientation_PAGE));
  field(2)->setPropertyValue("Orientation", uno::Any(sheet::DataPilotFieldOrientation_DATA));
  field(2)->setPropertyValue("Function", uno::Any(sheet::GeneralFunction_SUM));
  const table::CellRangeAddress at = address(target);
  tables->insertNewByName("Pivot1", table::CellAddress(at.Sheet, at.StartColumn, at.StartRow),
                          descriptor);
}

void SetLocaleGeneral(const uno::Reference<lang::XComponent>& component, const std::string& locale,
                      const std::string& range) {
  uno::Reference<sheet::XSpreadsheetDocument> document(component, uno::UNO_QUERY_THROW);
  uno::Reference<container::XIndexAccess> sheets(document->getSheets(), uno::UNO_QUERY_THROW);
  uno::Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(0), uno::UNO_QUERY_THROW);
  const auto dash = locale.find('-');
  const lang::Locale where(rtl::OUString::fromUtf8(locale.substr(0, dash).c_str()),
                           rtl::OUString::fromUtf8(locale.substr(dash + 1).c_str()), "");
  const sal_Int32 key =
      uno::Reference<util::XNumberFormatTypes>(
          uno::Reference<util::XNumberFormatsSupplier>(component, uno::UNO_QUERY_THROW)
              ->getNumberFormats(),
          uno::UNO_QUERY_THROW)
          ->getStandardIndex(where);
  uno::Reference<beans::XPropertySet>(
      sheet->getCellRangeByName(rtl::OUString::fromUtf8(range.c_str())), uno::UNO_QUERY_THROW)
      ->setPropertyValue("NumberFormat", uno::Any(key));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 1) % 4 != 0) {
    std::cerr << "usage: fixture_tool IN OUT FILTER PASSWORD...\n";
    return 2;
  }
  return quillory::libreoffice::testing::WithOffice(argv[1], [&](Office& office) {
    for (int i = 1; i + 3 < argc; i += 4) {
      const std::string in = argv[i], out = argv[i + 1], filter = argv[i + 2],
                        password = argv[i + 3];
      office.Guarded(in, "converting", std::chrono::seconds(60), [&] {
        auto component = office.Desktop()->loadComponentFromURL(
            rtl::OUString::fromUtf8(FileUrl(in).c_str()), "_blank", 0,
            Properties({Property("Hidden", uno::Any(true))}));
        std::vector<beans::PropertyValue> store = {
            Property("FilterName", uno::Any(rtl::OUString::fromUtf8(filter.c_str()))),
            Property("Overwrite", uno::Any(true))};
        if (password.rfind("pivot=", 0) == 0) {
          const auto at = password.find('@');
          AddPivotTable(component, password.substr(6, at - 6), password.substr(at + 1));
        } else if (password.rfind("general=", 0) == 0) {
          const auto at = password.find('@');
          SetLocaleGeneral(component, password.substr(8, at - 8), password.substr(at + 1));
        } else if (password != "-")
          store.push_back(
              Property("Password", uno::Any(rtl::OUString::fromUtf8(password.c_str()))));
        uno::Reference<frame::XStorable>(component, uno::UNO_QUERY_THROW)
            ->storeToURL(rtl::OUString::fromUtf8(FileUrl(out).c_str()), Properties(store));
        uno::Reference<util::XCloseable>(component, uno::UNO_QUERY_THROW)->close(true);
      });
    }
  });
}
