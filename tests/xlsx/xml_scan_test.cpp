#include <gtest/gtest.h>

#include <string>

#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {
namespace {

TEST(XmlScanner, ReportsMalformedMarkup) {
  for (const std::string bad : {"<a", "<a b=>", "<a b='x>", "<a/ >", "<!-- x", "<a b=\"1\"c=\"2\">",
                                "</>", "<a><![CDATA[x</a>"}) {
    xml::Scanner scanner(bad);
    xml::TokenKind kind;
    do {
      kind = scanner.Next().kind;
    } while (kind != xml::TokenKind::Error && kind != xml::TokenKind::End);
    EXPECT_EQ(kind, xml::TokenKind::Error) << bad;
  }
  std::string decoded;
  EXPECT_TRUE(xml::AppendDecoded("&lt;&#65;&#x42;&amp;&quot;", &decoded));
  EXPECT_EQ(decoded, "<AB&\"");
  EXPECT_FALSE(xml::AppendDecoded("&nosuch;", &decoded));
}

}  // namespace
}  // namespace quillory::xlsx
