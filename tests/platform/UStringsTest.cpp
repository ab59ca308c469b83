#include "platform/UStrings.h"

#include <gtest/gtest.h>

#include "platform/Kernel.h"

#include "platform/Locale.h"
#include "platform/SysUtils.h"

namespace {

TEST(Format, Directives) {
  const std::pair<UString, UString> cases[] = {
      {Format(u"OLE error %.8x", {0x80004005u}), u"OLE error 80004005"},
      {Format(u"OLE error %.8x", {0x1Au}), u"OLE error 0000001A"},
      {Format(u"%x", {255}), u"FF"},
      {Format(u"%d|%d|%u", {-12, 0, 4294967295u}), u"-12|0|4294967295"},
      {Format(u"[$%s] %s", {u"01A2B3C4", u"TPlugin"}), u"[$01A2B3C4] TPlugin"},
      {Format(u"%5d|%-4s|%.2s|%.3d", {42, u"ab", u"xyz", -7}), u"   42|ab  |xy|-007"},
      {Format(u"100%%", {}), u"100%"},
      {Format(u"%s (%s, line %d)", {u"Assertion failure", u"A\\B", 73}), u"Assertion failure (A\\B, line 73)"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(UStringToUtf8(got), UStringToUtf8(want));
}

TEST(Format, MismatchRaisesEConvertError) {
  EXPECT_THROW(Format(u"%d", {u"text"}), EConvertError);
  EXPECT_THROW(Format(u"%s", {5}), EConvertError);
  EXPECT_THROW(Format(u"%s %s", {u"one"}), EConvertError);
  EXPECT_THROW(Format(u"%q", {1}), EConvertError);
  EXPECT_THROW(Format(u"ends in %", {}), EConvertError);
}

TEST(Text, TrimRemovesControlsAndBlanksOnly) {
  EXPECT_EQ(Trim(u"\t \x01 a b \r\n"), u"a b");
  EXPECT_EQ(Trim(u" \u00A0x\u00A0 "), u"\u00A0x\u00A0");
  EXPECT_EQ(TrimLeft(u"  a "), u"a ");
  EXPECT_EQ(TrimRight(u"  a "), u"  a");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(UpperCaseAscii(u"via bureau \u00E9"), u"VIA BUREAU \u00E9");
  EXPECT_TRUE(SameTextAscii(u"omCall", u"OMCALL"));
  EXPECT_FALSE(SameTextAscii(u"\u00E9", u"\u00C9")) << "only ASCII letters fold";
  EXPECT_FALSE(SameTextAscii(u"OMCAL", u"OMCALL"));
  EXPECT_FALSE(SameTextAscii(u"[", u"{")) << "no folding outside the letters";
}

TEST(Text, Utf8ValidationAndConversion) {
  EXPECT_TRUE(IsValidUtf8("plain \xD0\x96 \xF0\x9F\x98\x80"));
  for (const char* bad : {"\xFF", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF4\x90\x80\x80"})
    EXPECT_FALSE(IsValidUtf8(bad)) << "accepted a malformed sequence";
  EXPECT_EQ(Utf8ToUString("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(UStringToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(UStringToUtf8(UString(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, WholeNumbersInDecimalAndHexadecimal) {
  const std::pair<const char16_t*, std::optional<std::int32_t>> cases[] = {
      {u"1", 1}, {u"0", 0}, {u"-15", -15}, {u"  7", 7}, {u"0x1F", 31}, {u"$ff", 255},
      {u"$FFFFFFFF", -1}, {u"2147483647", 2147483647}, {u"2147483648", std::nullopt},
      {u"", std::nullopt}, {u"1a", std::nullopt}, {u"7 ", std::nullopt}, {u"0x", std::nullopt},
      {u"yes", std::nullopt}};
  for (const auto& [text, value] : cases) EXPECT_EQ(TryStrToInt(text), value) << UStringToUtf8(text);
}

TEST(Text, AnsiCodePageRoundTrip) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  UString text = AnsiToUString(bytes);
  EXPECT_EQ(text[0x80], u'\u20AC');
  EXPECT_EQ(text[0xE9], u'\u00E9');
  EXPECT_EQ(text[0x81], u'\u0081');
  EXPECT_EQ(UStringToAnsi(text), bytes);
  EXPECT_EQ(UStringToAnsi(u"\u0416"), "?");
}

// The tests' seam fixes the code page and date format, and lifting it gives back the
// system's.
TEST(Text, LocaleOverriddenForTestsOnly) {
  const std::uint32_t systemPage = AnsiCodePage();
  const UString systemDate = ShortDateFormat();
  OverrideLocaleForTests(28591, u"d.m.yyyy");
  EXPECT_EQ(AnsiCodePage(), 28591u);
  EXPECT_EQ(ShortDateFormat(), u"d.m.yyyy");
  EXPECT_EQ(AnsiToUString("\x80"), u"\u0080") << "ISO 8859-1 has no euro sign at 0x80";
  OverrideLocaleForTests(std::nullopt, std::nullopt);
  EXPECT_EQ(AnsiCodePage(), systemPage);
  EXPECT_EQ(ShortDateFormat(), systemDate);
}

TEST(SysErrors, SystemTextsWithoutTrailingStop) {
  // The system's own text where it has one (Windows' may be localised), else the
  // run-time's table.
  auto expected = [](std::uint32_t code, const char16_t* table) {
    UString system = SystemMessageText(code);
    return system.empty() ? UString(table) : system;
  };
  EXPECT_EQ(SysErrorMessage(0x80004005u), expected(0x80004005u, u"Unspecified error"));
  EXPECT_EQ(SysErrorMessage(0x80070005u), expected(0x80070005u, u"Access is denied"));
  EXPECT_EQ(SysErrorMessage(5), expected(5, u"Access is denied"));
  for (std::uint32_t code : {0x80004005u, 0x80070005u, 5u, 2u, 32u, 112u}) {
    UString text = SysErrorMessage(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_GT(text.back(), u' ') << code;
    EXPECT_NE(text.back(), u'.') << code;
  }
  EXPECT_EQ(SysErrorMessage(0x80041234u), u"");
  EXPECT_EQ(EOleSysError(u"", E_FAIL, 0).Message, SysErrorMessage(0x80004005u));
  EXPECT_EQ(EOleSysError(u"", 0x80041234, 0).Message, u"OLE error 80041234");
  EXPECT_EQ(EOleException(u"x. \r\n", E_FAIL, u"", u"", 0).Message, u"x");
}

}  // namespace
