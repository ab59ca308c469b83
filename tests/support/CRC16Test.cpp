#include "support/CRC16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Helpers.h"

namespace {

TEST(CRC16, PublishedCheckValues) {
  EXPECT_EQ(CalcCRC16("123456789", 9), 0x31C3);
  EXPECT_EQ(CalcCRC16("abc", 3), 0x9DD6);
  EXPECT_EQ(StrCRC16(u"123456789"), 0x31C3);
}

TEST(CRC16, TableEntriesSeenThroughSingleBytes) {
  // With a zero register, one byte b yields table entry b.
  const std::pair<std::uint8_t, std::uint16_t> entries[] = {
      {0, 0x0000}, {1, 0x1021}, {2, 0x2042}, {16, 0x1231}, {128, 0x9188}, {255, 0x1EF0}};
  for (auto [b, expected] : entries) EXPECT_EQ(CalcCRC16(&b, 1), expected) << "entry " << int(b);
}

TEST(CRC16, EmptyAndNonPositiveLengthsGiveZero) {
  EXPECT_EQ(StrCRC16(u""), 0);
  EXPECT_EQ(CalcCRC16("abc", 0), 0);
  EXPECT_EQ(CalcCRC16("abc", -5), 0);
}

TEST(CRC16, NonAsciiTextIsHashedAsUtf8) {
  EXPECT_EQ(StrCRC16(u"\u00E9"), CalcCRC16("\xC3\xA9", 2));
  const char16_t unit = u'\u00E9';
  EXPECT_NE(StrCRC16(u"\u00E9"), CalcCRC16(&unit, 2));
  EXPECT_EQ(StrCRC16(u"\u0416\U0001F600"), CalcCRC16("\xD0\x96\xF0\x9F\x98\x80", 6));
}

TEST(CRC16, ClassCodesOfTheText) {
  const std::pair<const char16_t*, std::uint32_t> codes[] = {
      {u"EFilerError", 0x80040062},
      {u"EConvertError", 0x800428DF},
      {u"EAbort", 0x8004C1E0},
      {u"EListError", 0x8004FF47},
      {u"EBaseException", 0x80047031},
      {u"EInvalidCoreVersion", 0x8004D63A},
      {u"EUnsupportedCore", 0x80046559},
      {u"ECheckedInterfacedObjectError", 0x80044383},
      {u"ECheckedInterfacedObjectDeleteError", 0x80045A95},
      {u"ECheckedInterfacedObjectDoubleFreeError", 0x80048672},
      {u"ECheckedInterfacedObjectUseDeletedError", 0x8004D50D},
  };
  for (auto [name, code] : codes)
    EXPECT_EQ(static_cast<std::uint32_t>(ClassErrorCodeOf(name)), code) << UStringToUtf8(name);
  EXPECT_EQ(StrCRC16(u"TPlugin"), 0x1523);
}

// The known classes, in the ascending order of their codes. A misspelt name breaks the
// order or the round trip.
const char16_t* const kKnownNames[] = {
    u"EFilerError", u"EIntfCastError", u"EArgumentOutOfRangeException", u"EInvalidContainer",
    u"EStreamError", u"EResNotFound", u"EInvalidOperation", u"EProgrammerNotFound",
    u"EPropWriteOnly", u"EConvertError", u"EMonitor", u"EDirectoryNotFoundException",
    u"EClassNotFound", u"ECheckedInterfacedObjectError", u"EOutOfMemory", u"EStringListError",
    u"EMonitorLockException", u"EAbstractError", u"ECheckedInterfacedObjectDeleteError",
    u"EInvalidImage", u"EBitsError", u"EHeapException", u"EInvalidPointer", u"EFileStreamError",
    u"EAssertionFailed", u"EReadError", u"EFCreateError",
    u"ECheckedInterfacedObjectDoubleFreeError", u"EVariantError", u"EInvalidInsert",
    u"EParserError", u"EMethodNotFound", u"ENoConstructException", u"EFileNotFoundException",
    u"ENotSupportedException", u"EWriteError", u"EArgumentException", u"EFOpenError", u"EAbort",
    u"EPropReadOnly", u"ENoMonitorSupportException", u"EPathTooLongException",
    u"EOutOfResources", u"EPackageError", u"ECheckedInterfacedObjectUseDeletedError",
    u"EInvalidCoreVersion", u"EComponentError", u"EInOutError", u"EInvalidCast", u"EListError"};

TEST(CRC16, KnownClassNamesAscendAndRebuildAsThemselves) {
  ASSERT_EQ(std::size(kKnownNames), 50u);
  std::uint32_t previous = 0;
  for (const char16_t* name : kKnownNames) {
    auto code = static_cast<std::uint32_t>(ClassErrorCodeOf(name));
    EXPECT_GT(code, previous) << UStringToUtf8(name) << " out of order";
    previous = code;
    SetErrorInfo(0, nullptr);
    auto e = ExceptionFromErrorCode(static_cast<HRESULT>(code));
    EXPECT_EQ(e->ClassName(), name);
  }
}

}  // namespace
