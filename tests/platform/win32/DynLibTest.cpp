// Loading libraries at run time on Windows.
#include <gtest/gtest.h>

#include "platform/DynLib.h"

namespace {

TEST(DynLibWin32, LoadsTheFirstNameThatLoadsAndNamesWhatFailed) {
  std::string error;
  auto lib = TDynLib::TryLoad({"no-such-library-zorvik.dll", "kernel32.dll"}, &error);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib->Name(), "kernel32.dll");
  EXPECT_NE(lib->Symbol("GetTickCount"), nullptr);
  EXPECT_EQ(lib->Symbol("NoSuchFunctionZorvik"), nullptr);

  EXPECT_EQ(TDynLib::TryLoad({"no-such-library-zorvik.dll"}, &error), nullptr);
  EXPECT_NE(error.find("no-such-library-zorvik.dll"), std::string::npos) << error;
}

TEST(DynLibWin32, ALibraryBesideTheProgramLoadsByItsBareName) {
  // The module is built into the same folder as this program.
  auto lib = TDynLib::TryLoad({"UpdZorvik.ext"});
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(lib->Symbol("983BEDA12B2347028D99FF042C551640_done"), nullptr);
}

}  // namespace
