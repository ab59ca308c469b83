// INI store failures staged with POSIX means: rights, file size limits, symbolic links.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "tests/ui/IniFileTestFixture.h"

using ::testing::StartsWith;

namespace {

using namespace ini_test;

// Takes the rights of an ordinary user while it lives, so that file permissions apply
// even when the tests run as root.
class TAsOrdinaryUser {
 public:
  TAsOrdinaryUser() : root_(::geteuid() == 0) {
    if (root_) {
      EXPECT_TRUE(::setegid(65534) == 0 && ::seteuid(65534) == 0);
    }
  }
  ~TAsOrdinaryUser() {
    if (root_) {
      EXPECT_TRUE(::seteuid(0) == 0 && ::setegid(0) == 0);
    }
  }

 private:
  bool root_;
};

TEST_F(IniFileTest, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
  const std::string old = "[Zorvik]\nName=0\n";
  Put("s.ini", old);
  TIniFile ini(Path("s.ini"));
  EXPECT_FALSE(ini.ReadBool(u"Zorvik", u"Name", true));

  const std::string cannot = "Cannot create file \"" + UStringToUtf8(Path("s.ini")) + "\". ";
  fs::permissions(dir_, fs::perms(0555));
  EXPECT_THAT(MessageOf<EFCreateError>([&] {
                TAsOrdinaryUser user;
                ini.WriteBool(u"Zorvik", u"Name", true);
              }),
              StartsWith(cannot));
  fs::permissions(dir_, fs::perms(0755));

  // A full disk, staged with a file size limit below the new content's size.
  std::string big(4096, 'x');
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ::setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THAT(MessageOf<EFCreateError>([&] { ini.WriteString(u"Z", u"Big", U(big)); }),
              StartsWith(cannot));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(Get("s.ini"), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1) << "a temporary file was left";
  EXPECT_FALSE(ini.ReadBool(u"Zorvik", u"Name", true))
      << "the store kept a value the disk never got";
}


TEST_F(IniFileTest, SaveKeepsPermissionsAndSymbolicLinks) {
  Put("real.ini", "[Zorvik]\nName=0\n");
  fs::permissions(dir_ / "real.ini", fs::perms(0640));
  fs::create_symlink(dir_ / "real.ini", dir_ / "link.ini");
  TIniFile ini(Path("link.ini"));
  ini.WriteBool(u"Zorvik", u"Name", true);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
  EXPECT_EQ(Get("real.ini"), "[Zorvik]\nName=1\n");
  EXPECT_EQ(fs::status(dir_ / "real.ini").permissions(), fs::perms(0640));
}


TEST_F(IniFileTest, UnreadableFilesAreReportedByName) {
  Put("locked.ini", "[Zorvik]\nName=1\n");
  fs::permissions(dir_ / "locked.ini", fs::perms::none);
  EXPECT_THAT(MessageOf<EFOpenError>([&] {
                TAsOrdinaryUser user;
                TIniFile(Path("locked.ini")).ReadBool(u"Zorvik", u"Name", false);
              }),
              StartsWith("Cannot open file \"" + UStringToUtf8(Path("locked.ini")) + "\". "));
}

TEST_F(IniFileTest, NewFileIsWritableByItsOwnerOnly) {
  TIniFile(Path("new.ini")).WriteBool(u"Zorvik", u"Name", true);
  EXPECT_EQ(fs::status(dir_ / "new.ini").permissions() & fs::perms(0022), fs::perms::none);
}

}  // namespace
