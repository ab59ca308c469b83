#include <gtest/gtest.h>

#include <stdexcept>

#include "support/Helpers.h"

namespace {

int g_destroyed = 0;

class TProbe : public TCheckedInterfacedObject {
 public:
  UString ClassName() const override { return u"TProbe"; }
  ~TProbe() override { ++g_destroyed; }
  // Runs the destruction checks without freeing, as when a descendant's destructor
  // body fails after they passed.
  void PassChecksOnly() { BeforeDestruction(); }
};

class TFailingProbe : public TCheckedInterfacedObject {
 public:
  TFailingProbe() {
    AddRef();
    Release();  // references inside the constructor never destroy the object
    throw EConvertError(u"constructor failed");
  }
};

class TAVeryLongClassNameThatKeepsGoingAndGoingSoThatTheInstanceNameRunsPastItsCapacityOfNinetyNine
    : public TCheckedInterfacedObject {
 public:
  UString ClassName() const override {
    return u"TAVeryLongClassNameThatKeepsGoingAndGoingSoThatTheInstanceNameRunsPastItsCapacityOfNinetyNine";
  }
};

UString AddressOf(const void* p) { return IntToHex(reinterpret_cast<std::uintptr_t>(p), 8); }

class CheckedObject : public ::testing::Test {
 protected:
  void SetUp() override { g_destroyed = 0; }
};

TEST_F(CheckedObject, CountsFromZeroAndLastReleaseDestroys) {
  auto* p = NewObject<TProbe>();
  EXPECT_EQ(p->RefCount(), 0);
  EXPECT_EQ(p->AddRef(), 1);
  EXPECT_EQ(p->AddRef(), 2);
  EXPECT_EQ(p->Release(), 1);
  EXPECT_EQ(g_destroyed, 0);
  EXPECT_EQ(p->Release(), 0);
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(CheckedObject, InstanceNameUsesAddressAndMostDerivedClass) {
  auto* p = NewObject<TProbe>();
  EXPECT_EQ(p->InstanceName(), u"[$" + AddressOf(p) + u"] TProbe");
  FreeObject(p);
  auto* longOne = NewObject<
      TAVeryLongClassNameThatKeepsGoingAndGoingSoThatTheInstanceNameRunsPastItsCapacityOfNinetyNine>();
  EXPECT_EQ(longOne->InstanceName().size(), 99u);
  EXPECT_EQ(longOne->InstanceName(), (u"[$" + AddressOf(longOne) + u"] " + longOne->ClassName()).substr(0, 99));
  FreeObject(longOne);
}

TEST_F(CheckedObject, DestroyingWhileReferencedIsRefusedAndLeavesItUsable) {
  auto* p = NewObject<TProbe>();
  IUnknown* a = p;
  IUnknown* b = nullptr;
  a->AddRef();
  ASSERT_EQ(a->QueryInterface(IID_IInterface, reinterpret_cast<void**>(&b)), S_OK);
  try {
    FreeObject(p);
    FAIL() << "destruction with two references must be refused";
  } catch (const ECheckedInterfacedObjectDeleteError& e) {
    EXPECT_EQ(e.Message, u"Object deletion attempt [$" + AddressOf(p) + u"] TProbe with active interface link; counter: 2");
    EXPECT_EQ(static_cast<std::uint32_t>(e.ErrorCode), 0x80045A95u);
  }
  EXPECT_EQ(g_destroyed, 0);
  EXPECT_EQ(p->RefCount(), 2);
  EXPECT_EQ(p->InstanceName(), u"[$" + AddressOf(p) + u"] TProbe");
  EXPECT_EQ(b->AddRef(), 3);
  EXPECT_EQ(b->Release(), 2);
  EXPECT_EQ(a->Release(), 1);
  EXPECT_EQ(b->Release(), 0);
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(CheckedObject, DeletedObjectRejectsNewReferencesAndSecondDestruction) {
  auto* p = NewObject<TProbe>();
  p->PassChecksOnly();
  EXPECT_EQ(p->RefCount(), -1);
  const UString name = p->InstanceName();
  try {
    p->AddRef();
    FAIL();
  } catch (const ECheckedInterfacedObjectUseDeletedError& e) {
    EXPECT_EQ(e.Message, u"Usage attempt with just deleted object " + name);
    EXPECT_EQ(static_cast<std::uint32_t>(e.ErrorCode), 0x8004D50Du);
  }
  EXPECT_EQ(p->RefCount(), -1);
  try {
    FreeObject(p);
    FAIL();
  } catch (const ECheckedInterfacedObjectDoubleFreeError& e) {
    EXPECT_EQ(e.Message, u"Object deletion attempt with just deleted one " + name);
    EXPECT_EQ(static_cast<std::uint32_t>(e.ErrorCode), 0x80048672u);
  }
  EXPECT_EQ(p->Release(), -2);
  EXPECT_EQ(g_destroyed, 0);
  delete p;  // the storage this test kept
}

TEST_F(CheckedObject, FailingConstructorFreesWithoutChecks) {
  try {
    NewObject<TFailingProbe>();
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, u"constructor failed");
  }
}

TEST_F(CheckedObject, MisuseLeavingAnInterfaceMethodBecomesItsClassCode) {
  auto* p = NewObject<TProbe>();
  p->AddRef();
  p->AddRef();
  SetErrorInfo(0, nullptr);
  HRESULT hr = SafeCall(*p, [&] { FreeObject(p); });
  EXPECT_EQ(static_cast<std::uint32_t>(hr), 0x80045A95u);
  auto back = ExceptionFromErrorCode(hr);
  EXPECT_EQ(back->ClassName(), u"ECheckedInterfacedObjectDeleteError");
  EXPECT_EQ(back->Message, u"Object deletion attempt " + p->InstanceName() + u" with active interface link; counter: 2");
  p->Release();
  p->Release();
}

}  // namespace
