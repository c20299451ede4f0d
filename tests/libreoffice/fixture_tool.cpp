// Makes test workbooks with LibreOffice: fixture_tool IN OUT FILTER PASSWORD [IN OUT FILTER
// PASSWORD]... stores IN as OUT through FILTER, encrypted when PASSWORD is not "-".

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <iostream>
#include <vector>

#include "platform/libreoffice/office.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 1) % 4 != 0) {
    std::cerr << "usage: fixture_tool IN OUT FILTER PASSWORD...\n";
    return 2;
  }
  Office& office = Office::Shared();
  int status = 0;
  try {
    office.EnsureRunning(argv[1]);
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
        if (password != "-")
          store.push_back(
              Property("Password", uno::Any(rtl::OUString::fromUtf8(password.c_str()))));
        uno::Reference<frame::XStorable>(component, uno::UNO_QUERY_THROW)
            ->storeToURL(rtl::OUString::fromUtf8(FileUrl(out).c_str()), Properties(store));
        uno::Reference<util::XCloseable>(component, uno::UNO_QUERY_THROW)->close(true);
      });
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    status = 1;
  }
  office.End();
  return status;
}
