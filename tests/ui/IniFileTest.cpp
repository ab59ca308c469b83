#include "tests/ui/IniFileTestFixture.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace fs = std::filesystem;
using namespace std::literals;

namespace {

using namespace ini_test;

TEST_F(IniFileTest, NamesMatchWithoutCaseAndKeysAndValuesAreTrimmed) {
  Put("a.ini",
      "orphan=outside any section\r\n"
      "[ ZORVIK ] trailing text\r\n"
      "  name \t=  Alice Smith \t\r\n"
      "; Grid=comment\r\n"
      "Resource= http://host/get?a=b\r\n"
      "Name=second copy\r\n"
      "[Zorvik\r\n"
      "[other]\r\n"
      "Grid=KO85\r\n"
      "[zorvik]\r\n"
      "State=only in the second block\r\n"
      "Nul=a\0b\r\n"
      "[Caf\xE9]\r\n"
      "\xC9t\xE9=hot\r\n"s);
  TIniFile ini(Path("a.ini"));
  struct Case {
    const char16_t *section, *key;
    UString expected;
  } cases[] = {
      {u"Zorvik", u"Name", u"Alice Smith"},
      {u"zORVIK", u"NAME", u"Alice Smith"},
      {u"Zorvik", u"Resource", u"http://host/get?a=b"},
      {u"Zorvik", u"Grid", u"-"},
      {u"Zorvik", u"orphan", u"-"},
      {u"Other", u"grid", u"KO85"},
      {u"Zorvik", u"State", u"only in the second block"},
      {u"CAFÉ", u"été", u"hot"},
      {u"Zorvik", u"Nul", u"a\0b"s},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key, u"-"), c.expected) << UStringToUtf8(c.key);
}

TEST_F(IniFileTest, BooleansReadAsIntegersAndFallBackToTheDefault) {
  Put("b.ini", "[Z]\nA=1\nB=0\nC=0x10\nD=$ff\nE=yes\nF=\nG= -1 \nH=0X0\n");
  TIniFile ini(Path("b.ini"));
  struct Case {
    const char16_t* key;
    bool whenFalse, whenTrue;
  } cases[] = {
      {u"A", true, true}, {u"B", false, false}, {u"C", true, true},
      {u"D", true, true}, {u"E", false, true},  {u"F", false, true},
      {u"G", true, true}, {u"H", false, false}, {u"Missing", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.ReadBool(u"Z", c.key, false), c.whenFalse) << UStringToUtf8(c.key);
    EXPECT_EQ(ini.ReadBool(u"Z", c.key, true), c.whenTrue) << UStringToUtf8(c.key);
  }
}

TEST_F(IniFileTest, EachEncodingIsReadAndKeptOnWrite) {
  const std::u16string before = u"[Zorvik]\r\nName=Chloé\r\n[Other]\r\nX=1\r\n";
  const std::u16string after = u"[Zorvik]\r\nName=Chloé\r\nQTH=Zürich\r\n[Other]\r\nX=1\r\n";
  for (TIniEncoding enc : {TIniEncoding::ieAnsi, TIniEncoding::ieUtf8, TIniEncoding::ieUtf16LE,
                           TIniEncoding::ieUtf16BE}) {
    SCOPED_TRACE(int(enc));
    Put("e.ini", Encoded(before, enc));
    TIniFile ini(Path("e.ini"));
    EXPECT_EQ(ini.ReadString(u"zorvik", u"name", u""), u"Chloé");
    ini.WriteString(u"Zorvik", u"QTH", u"Zürich");
    EXPECT_EQ(Get("e.ini"), Encoded(after, enc));
  }
}

TEST_F(IniFileTest, HostFileKeepsEveryOtherByteWithItsOwnLineEnds) {
  for (std::string eol : {"\r\n", "\n"}) {
    // Lines separated by "|".
    auto text = [&](std::string s) {
      for (std::size_t bar; (bar = s.find('|')) != std::string::npos;) s.replace(bar, 1, eol);
      return s;
    };
    Put("host.ini", text("; Host settings|[Window]|Left = 10|  Top=20  ||[zorvik]|Name = 0|"
                         "Location=Internet||; logging|[Log]|Path=C:\\Log\\\xE9.txt|[Zorvik]|"
                         "QTH=1|odd line without equals|[Last]|Tail=x"));
    TIniFile ini(Path("host.ini"));
    ini.WriteBool(u"Zorvik", u"Name", true);
    ini.WriteBool(u"Zorvik", u"Grid", false);
    ini.WriteString(u"Zorvik", u"QTH", u"");
    ini.WriteString(u"Update", u"When", u"never");
    EXPECT_EQ(Get("host.ini"),
              text("; Host settings|[Window]|Left = 10|  Top=20  ||[zorvik]|Name = 1|"
                   "Location=Internet|Grid=0||; logging|[Log]|Path=C:\\Log\\\xE9.txt|[Zorvik]|"
                   "QTH=|odd line without equals|[Last]|Tail=x|[Update]|When=never|"))
        << (eol == "\n" ? "LF" : "CRLF");
  }
}

TEST_F(IniFileTest, NewFileIsAnsiWithCrLfUnlessTheTextNeedsUtf8) {
  TIniFile ini(Path("new.ini"));
  EXPECT_EQ(ini.ReadString(u"Zorvik", u"Resource", u"dflt"), u"dflt");
  ini.WriteString(u"Zorvik", u"Resource", u" http://x/é");
  ini.WriteBool(u"Zorvik", u"Name", true);
  EXPECT_EQ(Get("new.ini"), "[Zorvik]\r\nResource= http://x/\xE9\r\nName=1\r\n");
  EXPECT_EQ(TIniFile(Path("new.ini")).ReadString(u"Zorvik", u"Resource", u""), u"http://x/é");

  TIniFile unicode(Path("new2.ini"));
  unicode.WriteString(u"Zorvik", u"Resource", u"C:\\Пакет.zip");
  EXPECT_EQ(Get("new2.ini"), "\xEF\xBB\xBF[Zorvik]\r\nResource=C:\\Пакет.zip\r\n");
}

TEST_F(IniFileTest, TextAnsiCannotHoldIsNeverTurnedIntoQuestionMarks) {
  Put("ascii.ini", "[Window]\nTop=1\n");
  TIniFile ascii(Path("ascii.ini"));
  ascii.WriteString(u"Zorvik", u"Resource", u"/tmp/Łódź.zip");
  EXPECT_EQ(Get("ascii.ini"), "\xEF\xBB\xBF[Window]\nTop=1\n[Zorvik]\nResource=/tmp/Łódź.zip\n");
  EXPECT_EQ(TIniFile(Path("ascii.ini")).ReadString(u"Zorvik", u"Resource", u""), u"/tmp/Łódź.zip");

  const std::string latin = "[Log]\r\nPath=caf\xE9\r\n[Zorvik]\r\nResource=old\r\n";
  Put("latin.ini", latin);
  TIniFile ini(Path("latin.ini"));
  EXPECT_THAT(MessageOf<EConvertError>([&] { ini.WriteString(u"Zorvik", u"Res", u"Łódź"); }),
              HasSubstr(UStringToUtf8(Path("latin.ini"))))
      << "the value was written with lost characters";
  EXPECT_EQ(Get("latin.ini"), latin);
  EXPECT_EQ(ini.ReadString(u"Zorvik", u"Resource", u""), u"old");
  ini.WriteString(u"Zorvik", u"Resource", u"new");
  EXPECT_EQ(Get("latin.ini"), "[Log]\r\nPath=caf\xE9\r\n[Zorvik]\r\nResource=new\r\n");
}

// Found by fuzzing: a name with half a surrogate pair was written to a UTF-8 file as
// U+FFFD, so the key could never be read back under its name.
TEST_F(IniFileTest, UnpairedSurrogatesAreRefusedByUtf8FilesAndKeptByUtf16Ones) {
  const std::u16string lone = u"Q\xD867x";
  for (const char* name : {"utf8.ini", "ascii.ini"}) {
    const std::string bytes = std::string(name) == "utf8.ini" ? "\xEF\xBB\xBF[Zorvik]\nName=1\n" : "[Zorvik]\nName=1\n";
    Put(name, bytes);
    TIniFile ini(Path(name));
    EXPECT_THAT(MessageOf<EConvertError>([&] { ini.WriteString(u"Zorvik", lone, u"1"); }),
                HasSubstr(UStringToUtf8(Path(name))));
    EXPECT_THROW(ini.WriteString(lone, u"Name", u"1"), EConvertError);
    EXPECT_THROW(ini.WriteString(u"Zorvik", u"Name", lone), EConvertError);
    EXPECT_EQ(Get(name), bytes);
  }
  Put("wide.ini", Encoded(u"[Zorvik]\r\nName=0\r\n", TIniEncoding::ieUtf16LE));
  TIniFile wide(Path("wide.ini"));
  wide.WriteString(u"Zorvik", lone, lone);
  EXPECT_EQ(TIniFile(Path("wide.ini")).ReadString(u"Zorvik", lone, u""), lone);
}

TEST_F(IniFileTest, ValuesThatWouldBreakIntoOtherLinesAreRefused) {
  Put("i.ini", "[Zorvik]\nName=1\n");
  TIniFile ini(Path("i.ini"));
  EXPECT_THROW(ini.WriteString(u"Zorvik", u"Resource", u"x\r\n[Window]\r\nTop=0"),
               EArgumentException);
  EXPECT_THROW(ini.WriteString(u"Zor]vik", u"Name", u"1"), EArgumentException);
  EXPECT_THROW(ini.WriteString(u"Zorvik", u"A=B", u"1"), EArgumentException);
  EXPECT_EQ(Get("i.ini"), "[Zorvik]\nName=1\n");
}

TEST_F(IniFileTest, OversizedFilesAreReportedByName) {
  Put("huge.ini", std::string(TIniFile::MaxFileSize + 1, '\n'));
  Put("long.ini", "[Zorvik]\nName=" + std::string(TIniText::MaxLineLength, 'x') + "\n");
  for (const char* name : {"huge.ini", "long.ini"})
    EXPECT_THAT(MessageOf<EReadError>([&] { TIniFile(Path(name)).ReadString(u"Z", u"N", u""); }),
                HasSubstr(UStringToUtf8(Path(name))));
}

TEST_F(IniFileTest, TruncatedUtf16KeepsItsLastByte) {
  Put("odd.ini", Encoded(u"[Zorvik]\r\nName=0\r\n", TIniEncoding::ieUtf16LE) + "\x41");
  TIniFile ini(Path("odd.ini"));
  ini.WriteString(u"Zorvik", u"Name", u"1");
  EXPECT_EQ(Get("odd.ini"), Encoded(u"[Zorvik]\r\nName=1\r\n", TIniEncoding::ieUtf16LE) + "\x41");
}

TEST_F(IniFileTest, PathRulesAndTheNameTakenAtTheFirstRead) {
  struct Case {
    const char16_t *path, *expected;
  } cases[] = {
      {u"", u"/opt/host/Logger.ini"},
      {u"settings.cfg", u"/opt/host/settings.ini"},
      {u"plain", u"/opt/host/plain.ini"},
      {u"/etc/log/app.cfg", u"/etc/log/app.cfg"},
  };
  for (const Case& c : cases) EXPECT_EQ(IniFilePath(c.path, u"/opt/host/Logger.exe"), c.expected);

  Put("late.ini", "[Zorvik]\nLocation=Local\n");
  UString configured;
  TIniFile ini;
  ini.SetFileNameSource([&] { return configured; });
  configured = Path("late.ini");
  EXPECT_EQ(ini.ReadString(u"Zorvik", u"Location", u""), u"Local");
  Put("late.ini", "[Zorvik]\nLocation=Internet\n");
  EXPECT_EQ(ini.ReadString(u"Zorvik", u"Location", u""), u"Local") << "the file was read twice";
}

}  // namespace
