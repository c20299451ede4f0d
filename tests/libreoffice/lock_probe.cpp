// Opens FILE for editing the way a user's LibreOffice does, with lock files honoured, and prints
// what LibreOffice asked before opening it: "com.sun.star.document.LockedDocumentRequest" when
// another program's lock file is beside it, "none" when it opened without a question.

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <rtl/ref.hxx>

#include <iostream>

#include "platform/libreoffice/interaction.h"
#include "platform/libreoffice/office.h"
#include "tests/libreoffice/office_tool.h"

using namespace com::sun::star;
using quillory::libreoffice::AbortingInteractionHandler;
using quillory::libreoffice::FileUrl;
using quillory::libreoffice::Office;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: lock_probe FILE\n";
    return 2;
  }
  const std::string file = argv[1];
  return quillory::libreoffice::testing::WithOffice(file, [&](Office& office) {
    office.Guarded(file, "probing", std::chrono::seconds(60), [&] {
      // This program's instances ignore lock files; a user's honours them.
      uno::Sequence<uno::Any> path(1);
      path.getArray()[0] <<= beans::NamedValue(
          "nodepath", uno::Any(rtl::OUString("/org.openoffice.Office.Common/Misc")));
      const auto settings = configuration::theDefaultProvider::get(office.Context())
                                ->createInstanceWithArguments(
                                    "com.sun.star.configuration.ConfigurationUpdateAccess", path);
      uno::Reference<beans::XPropertySet>(settings, uno::UNO_QUERY_THROW)
          ->setPropertyValue("UseLocking", uno::Any(true));
      uno::Reference<util::XChangesBatch>(settings, uno::UNO_QUERY_THROW)->commitChanges();

      rtl::Reference<AbortingInteractionHandler> handler(new AbortingInteractionHandler);
      uno::Sequence<beans::PropertyValue> args(2);
      args.getArray()[0].Name = "Hidden";
      args.getArray()[0].Value <<= true;
      args.getArray()[1].Name = "InteractionHandler";
      args.getArray()[1].Value <<= uno::Reference<task::XInteractionHandler>(handler.get());
      const auto component = office.Desktop()->loadComponentFromURL(
          rtl::OUString::fromUtf8(FileUrl(file).c_str()), "_blank", 0, args);
      const std::string asked = handler->OtherRequest();
      std::cout << (asked.empty() ? "none" : asked) << "\n";
      if (component.is()) {
        uno::Reference<util::XCloseable>(component, uno::UNO_QUERY_THROW)->close(true);
      }
    });
  });
}
