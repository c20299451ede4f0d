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

TEST(XmlScanner, WalksTheChildrenOfAnElement) {
  const auto children = [](std::string_view document) {
    xml::Scanner scanner(document);
    xml::Token root, child;
    std::string seen;
    if (!scanner.FindRoot(&root)) return std::string("no root");
    while (scanner.NextChild(&child)) {
      seen.append(child.name).push_back(' ');
      if (!scanner.SkipElement(child)) return seen + "malformed";
    }
    return seen + (child.kind == xml::TokenKind::EndTag ? "end" : "cut short");
  };
  EXPECT_EQ(
      children("<?xml version='1.0'?><!--x--><a>t<b/><!--c--><c>x<d/></c><![CDATA[<e>]]></a>"),
      "b c end");
  EXPECT_EQ(children("<a><b/>"), "b cut short");
  EXPECT_EQ(children("<a><b></a>"), "b malformed");
  EXPECT_EQ(children("</a>"), "no root");
}

}  // namespace
}  // namespace quillory::xlsx
