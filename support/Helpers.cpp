#include "support/Helpers.h"

#include <functional>
#include <typeinfo>
#include <unordered_map>

namespace {

using Factory = std::unique_ptr<Exception> (*)(HRESULT code, const TErrorDetails& d);

// A run-time class keeps only the message.
template <class T>
std::unique_ptr<Exception> MakePlain(HRESULT, const TErrorDetails& d) {
  return std::make_unique<T>(d.description);
}
// A module class gets the plain EOleSysError construction.
template <class T>
std::unique_ptr<Exception> MakeModule(HRESULT code, const TErrorDetails& d) {
  return std::make_unique<T>(EBaseException::Rebuild{}, d.description, code, d.helpContext);
}

struct KnownClass {
  const char16_t* name;
  Factory make;
};

#define PLAIN(N) {u"" #N, &MakePlain<N>}
#define MODULE(N) {u"" #N, &MakeModule<N>}
// The classes a failed call can be rebuilt as, keyed by the code of their name.
constexpr KnownClass kKnownClasses[] = {
    PLAIN(EFilerError), PLAIN(EIntfCastError), PLAIN(EArgumentOutOfRangeException),
    PLAIN(EInvalidContainer), PLAIN(EStreamError), PLAIN(EResNotFound), PLAIN(EInvalidOperation),
    PLAIN(EProgrammerNotFound), PLAIN(EPropWriteOnly), PLAIN(EConvertError), PLAIN(EMonitor),
    PLAIN(EDirectoryNotFoundException), PLAIN(EClassNotFound), MODULE(ECheckedInterfacedObjectError),
    PLAIN(EOutOfMemory), PLAIN(EStringListError), PLAIN(EMonitorLockException), PLAIN(EAbstractError),
    MODULE(ECheckedInterfacedObjectDeleteError), PLAIN(EInvalidImage), PLAIN(EBitsError),
    PLAIN(EHeapException), PLAIN(EInvalidPointer), PLAIN(EFileStreamError), PLAIN(EAssertionFailed),
    PLAIN(EReadError), PLAIN(EFCreateError), MODULE(ECheckedInterfacedObjectDoubleFreeError),
    PLAIN(EVariantError), PLAIN(EInvalidInsert), PLAIN(EParserError), PLAIN(EMethodNotFound),
    PLAIN(ENoConstructException), PLAIN(EFileNotFoundException), PLAIN(ENotSupportedException),
    PLAIN(EWriteError), PLAIN(EArgumentException), PLAIN(EFOpenError), PLAIN(EAbort),
    PLAIN(EPropReadOnly), PLAIN(ENoMonitorSupportException), PLAIN(EPathTooLongException),
    PLAIN(EOutOfResources), PLAIN(EPackageError), MODULE(ECheckedInterfacedObjectUseDeletedError),
    MODULE(EInvalidCoreVersion), PLAIN(EComponentError), PLAIN(EInOutError), PLAIN(EInvalidCast),
    PLAIN(EListError),
};
#undef PLAIN
#undef MODULE
static_assert(std::size(kKnownClasses) == 50);

const std::unordered_map<HRESULT, Factory>& KnownCodeTable() {
  static const std::unordered_map<HRESULT, Factory> table = [] {
    std::unordered_map<HRESULT, Factory> t;
    for (const auto& k : kKnownClasses) t.emplace(ClassErrorCodeOf(k.name), k.make);
    return t;
  }();
  return table;
}

// Installs the failure hook while the module is loaded.
struct HelpersUnit {
  HelpersUnit() { SafeCallErrorProc = &SafeCallErrorHandler; }
  ~HelpersUnit() { SafeCallErrorProc = nullptr; }
} g_helpersUnit;

}  // namespace

TErrorDetails TakeThreadErrorInfo() {
  TErrorDetails d;
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK || !raw) return d;
  ComPtr<IErrorInfo> info = ComPtr<IErrorInfo>::Attach(raw);
  BStr s;
  if (Succeeded(info->GetSource(s.Put()))) d.source = s.Text();
  if (Succeeded(info->GetDescription(s.Put()))) d.description = s.Text();
  if (Succeeded(info->GetHelpFile(s.Put()))) d.helpFile = s.Text();
  OleDWord ctx = 0;
  if (Succeeded(info->GetHelpContext(&ctx))) d.helpContext = static_cast<std::int32_t>(ctx);
  info->GetGUID(&d.guid);
  return d;
}

HRESULT ExceptionErrorCode(const Exception& e) {
  if (typeid(e) == typeid(Exception)) return E_UNEXPECTED;
  if (auto* ole = dynamic_cast<const EOleSysError*>(&e)) return ole->ErrorCode;
  if (auto* os = dynamic_cast<const EOSError*>(&e))
    return os->ErrorCode == 0 ? 0 : static_cast<HRESULT>(0x80070000u | (os->ErrorCode & 0xFFFFu));
  return ClassErrorCodeOf(e.ClassName());
}

HRESULT ExceptionToHResult(const TObject& obj, const Exception* e) noexcept {
  HRESULT result = E_UNEXPECTED;
  try {
    ComPtr<ICreateErrorInfo> create;
    if (Failed(CreateErrorInfo(create.Put())) || !create) return result;
    UString source = kErrorSourcePrefix + obj.ClassName();
    create->SetSource(OleStr(source));
    if (e) {
      create->SetDescription(OleStr(e->Message));
      create->SetHelpContext(static_cast<OleDWord>(e->HelpContext));
      result = ExceptionErrorCode(*e);
    }
    create->SetGUID(HResultFacility(result) == FACILITY_ITF ? PluginSystemErrorGUID : GUID_NULL);
    if (auto info = create.As<IErrorInfo>()) SetErrorInfo(0, info.Get());
  } catch (...) {
    // Building the texts ran out of memory; the code alone still goes out.
  }
  return result;
}

std::unique_ptr<Exception> ExceptionFromErrorCode(HRESULT code) {
  Factory make = nullptr;
  bool os = HResultFacility(code) == FACILITY_WIN32;
  if (!os) {
    const auto& table = KnownCodeTable();
    if (auto it = table.find(code); it != table.end()) make = it->second;
  }
  TErrorDetails d = TakeThreadErrorInfo();
  if (os) return std::make_unique<EOSError>(d.description, static_cast<std::uint32_t>(code) & 0xFFFFu);
  if (make) return make(code, d);
  return std::make_unique<EOleException>(d.description, code, d.source, d.helpFile, d.helpContext);
}

void SafeCallErrorHandler(HRESULT code, void* /*address*/) {
  ExceptionFromErrorCode(code)->Raise();
  __builtin_unreachable();
}

// ---- TCheckedInterfacedObject ----

void TCheckedInterfacedObject::SetInstanceName() {
  UString name = Format(u"[$%s] %s", {IntToHex(reinterpret_cast<std::uintptr_t>(this), 8), ClassName()});
  if (name.size() > 99) name.resize(99);
  FInstanceName = std::move(name);
}

void TCheckedInterfacedObject::AfterConstruction() {
  // The most derived class is known only now that every constructor has run.
  SetInstanceName();
  TInterfacedObject::AfterConstruction();
}

ComULong TCheckedInterfacedObject::AddRef() {
  if (FRefCount < 0)
    throw ECheckedInterfacedObjectUseDeletedError(u"Usage attempt with just deleted object %s", {FInstanceName});
  return InterlockedIncrement(FRefCount);
}

void TCheckedInterfacedObject::BeforeDestruction() {
  if (FRefCount < 0)
    throw ECheckedInterfacedObjectDoubleFreeError(u"Object deletion attempt with just deleted one %s",
                                                  {FInstanceName});
  if (FRefCount != 0)
    throw ECheckedInterfacedObjectDeleteError(
        u"Object deletion attempt %s with active interface link; counter: %d", {FInstanceName, FRefCount});
  TInterfacedObject::BeforeDestruction();
  FRefCount = -1;
}
