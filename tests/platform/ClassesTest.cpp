#include "platform/Classes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/Kernel.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() / ("zorvik-classes-" + std::to_string(stamp) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  UString Path(const char* name) const { return (dir_ / name).u16string(); }
  UString Dir() const { return dir_.u16string(); }

  fs::path dir_;
};

TEST_F(Files, CreateWriteReadBack) {
  {
    TFileStream f(Path("a.bin"), fmCreate);
    f.WriteBuffer("hello", 5);
  }
  TMemoryStream m;
  m.LoadFromFile(Path("a.bin"));
  EXPECT_EQ(std::string(m.Bytes().begin(), m.Bytes().end()), "hello");
  TFileStream again(Path("a.bin"), fmCreate);  // creating an existing file empties it
  EXPECT_EQ(again.Size(), 0);
}

TEST_F(Files, ShareModesAreHonouredWithinTheProcess) {
  { TFileStream(Path("s.bin"), fmCreate).WriteBuffer("x", 1); }
  struct Case {
    const char* name;
    std::uint32_t first, second;
    bool allowed;
  };
  const Case cases[] = {
      {"exclusive blocks a reader", fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
      {"no share flag means exclusive", fmOpenRead, fmOpenRead | fmShareDenyNone, false},
      {"deny-write lets a reader in", fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
      {"deny-write keeps a writer out", fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareDenyNone, false},
      {"deny-none reader lets deny-none reader in", fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareDenyNone, true},
      {"a writer keeps a deny-write opener out", fmOpenWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFileStream first(Path("s.bin"), c.first);
    if (c.allowed) {
      EXPECT_NO_THROW(TFileStream(Path("s.bin"), c.second));
    } else {
      try {
        TFileStream second(Path("s.bin"), c.second);
        ADD_FAILURE() << "second open was allowed";
      } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message.find(SysErrorMessage(32)), UString::npos) << "a sharing violation";
      }
    }
  }
  TFileStream afterAll(Path("s.bin"), fmOpenRead);  // every stream above has let go
}

TEST_F(Files, OpenAndCreateErrorsNameTheFile) {
  try {
    TFileStream f(Path("missing.bin"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message, u"Cannot open file \"" + Path("missing.bin") + u"\". " + SysErrorMessage(2));
  }
  try {
    TFileStream f(Path("no/such/dir/x.bin"), fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message.rfind(u"Cannot create file \"" + ExpandFileName(Path("no/such/dir/x.bin")) + u"\". ", 0), 0u);
  }
  EXPECT_THROW(TFileStream(u"", fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(Dir(), fmOpenRead), EFOpenError);
}

TEST_F(Files, ReadBufferPastTheEndRaises) {
  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  m.SetPosition(1);
  char buf[4];
  EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
}

TEST_F(Files, TemporaryFilesAreNewEmptyAndUnique) {
  UString a = MakeTempFile(Dir(), u"~Ar");
  UString b = MakeTempFile(Dir(), u"~Ar");
  EXPECT_NE(a, b);
  EXPECT_EQ(ExtractFileName(a).rfind(u"~Ar", 0), 0u);
  EXPECT_EQ(ExtractFileExt(a), u".tmp");
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(fs::file_size(fs::path(a)), 0u);
  EXPECT_THROW(MakeTempFile(Path("not-there"), u"~Db"), EInOutError);
}

TEST_F(Files, DeleteFileRemovesFilesAndLinksToFolders) {
  UString f = MakeTempFile(Dir(), u"~Db");
  EXPECT_TRUE(zorvik::DeleteFile(f));
  EXPECT_FALSE(FileExists(f));
  EXPECT_FALSE(zorvik::DeleteFile(f));
  fs::create_directory(dir_ / "target");
  std::error_code ec;
  fs::create_directory_symlink(dir_ / "target", dir_ / "link", ec);
  if (ec) GTEST_SKIP() << "this system lets this user make no symbolic links: " << ec.message();
  EXPECT_TRUE(zorvik::DeleteFile(Path("link")));
  EXPECT_FALSE(fs::exists(dir_ / "link"));
  EXPECT_TRUE(fs::exists(dir_ / "target")) << "the folder itself stays";
  EXPECT_FALSE(zorvik::DeleteFile(Path("target")));
}

TEST(Paths, Pieces) {
  EXPECT_EQ(ExtractFilePath(u"/a/b/DB.zip"), u"/a/b/");
  EXPECT_EQ(ExtractFileName(u"C:\\Pkg\\DB.zip"), u"DB.zip");
  EXPECT_EQ(ExtractFileDir(u"/a/b/DB.zip"), u"/a/b");
  EXPECT_EQ(ExtractFileExt(u"/a.b/name"), u"");
  EXPECT_EQ(ExtractFileExt(u"/a/x.tar.gz"), u".gz");
  EXPECT_EQ(ChangeFileExt(u"/opt/host/app", u".ini"), u"/opt/host/app.ini");
  EXPECT_EQ(ChangeFileExt(u"/opt/ho.st/app.exe", u".ini"), u"/opt/ho.st/app.ini");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/tmp"), u"/tmp" + UString(1, PathDelim));
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"C:\\Pkg\\"), u"C:\\Pkg\\");
}

}  // namespace
