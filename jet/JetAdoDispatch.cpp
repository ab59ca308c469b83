#include "jet/JetAdoDispatch.h"

#include <vector>

#include "jet/EDatabaseError.h"
#include "platform/SysUtils.h"
#include "platform/WinText.h"

namespace {

// The BSTRs that a failed Invoke leaves in its exception information.
struct TExcepInfo {
  EXCEPINFO Info{};
  TExcepInfo() = default;
  TExcepInfo(const TExcepInfo&) = delete;
  TExcepInfo& operator=(const TExcepInfo&) = delete;
  ~TExcepInfo() {
    SysFreeString(Info.bstrSource);
    SysFreeString(Info.bstrDescription);
    SysFreeString(Info.bstrHelpFile);
  }
};

UString HexCode(HRESULT hr) {
  static const char digits[] = "0123456789ABCDEF";
  UString s = u"0x";
  for (int shift = 28; shift >= 0; shift -= 4)
    s += char16_t(digits[(static_cast<std::uint32_t>(hr) >> shift) & 15]);
  return s;
}

// The system's text for a code, with the code itself.
UString CodeText(HRESULT hr) {
  const UString text = Trim(SysErrorMessage(static_cast<std::uint32_t>(hr)));
  return text.empty() ? u"error " + HexCode(hr) : text + u" (" + HexCode(hr) + u")";
}

// The description that the failed call left as the thread's error information, if any.
UString ThreadErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Put()) != S_OK || !info) return {};
  BStr description;
  if (Failed(info->GetDescription(description.Put()))) return {};
  return Trim(description.Text());
}

[[noreturn]] void RaiseCallFailure(UStringView name, HRESULT hr, TExcepInfo& excep) {
  UString description;
  if (hr == DISP_E_EXCEPTION) {
    if (excep.Info.pfnDeferredFillIn) excep.Info.pfnDeferredFillIn(&excep.Info);
    description = Trim(BSTRText(excep.Info.bstrDescription));
    if (excep.Info.scode) hr = excep.Info.scode;
  }
  if (description.empty()) description = ThreadErrorDescription();
  if (description.empty()) description = CodeText(hr);
  throw EDatabaseError(Format(u"%s: %s", {name, description}));
}

DISPID DispIdOf(IDispatch* object, UStringView name) {
  const UString text(name);
  LPOLESTR names[] = {const_cast<LPOLESTR>(WideText(text))};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  // Only an unknown name means the member is missing; other codes say that the object's
  // type information could not be read (an unregistered type library, for one).
  if (hr == DISP_E_UNKNOWNNAME)
    throw EDatabaseError(Format(u"%s: the object has no such member (%s)", {name, CodeText(hr)}));
  if (Failed(hr))
    throw EDatabaseError(Format(u"%s: the member cannot be looked up (%s)", {name, CodeText(hr)}));
  return id;
}

TVariant Invoke(IDispatch* object, UStringView name, WORD flags,
                std::initializer_list<const VARIANT*> args) {
  const DISPID id = DispIdOf(object, name);
  // Arguments go in reverse order. The copies are shallow: Invoke does not take them over.
  std::vector<VARIANTARG> params;
  params.reserve(args.size());
  for (auto it = args.end(); it != args.begin();) params.push_back(**--it);
  DISPPARAMS dp{params.data(), nullptr, UINT(params.size()), 0};
  DISPID named = DISPID_PROPERTYPUT;
  if (flags == DISPATCH_PROPERTYPUT) {
    dp.rgdispidNamedArgs = &named;
    dp.cNamedArgs = 1;
  }
  TExcepInfo excep;
  UINT badArg = 0;
  TVariant result;
  SetErrorInfo(0, nullptr);
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp,
                                    flags == DISPATCH_PROPERTYPUT ? nullptr : result.Put(),
                                    &excep.Info, &badArg);
  if (Failed(hr)) RaiseCallFailure(name, hr, excep);
  return result;
}

[[noreturn]] void WrongKind(UStringView what, UStringView kind) {
  throw EDatabaseError(Format(u"%s: expected %s", {what, kind}));
}

}  // namespace

TVariant TVariant::Text(UStringView text) {
  TVariant v;
  v.FValue.bstrVal = AllocBSTR(text);
  v.FValue.vt = VT_BSTR;
  return v;
}

TVariant TVariant::Int(long value) {
  TVariant v;
  v.FValue.vt = VT_I4;
  v.FValue.lVal = value;
  return v;
}

TVariant TVariant::Dispatch(IDispatch* object) {
  TVariant v;
  v.FValue.vt = VT_DISPATCH;
  v.FValue.pdispVal = object;
  if (object) object->AddRef();
  return v;
}

TVariant TVariant::Missing() {
  TVariant v;
  v.FValue.vt = VT_ERROR;
  v.FValue.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

long TVariant::AsInt(UStringView what) const {
  TVariant n;
  if (Failed(VariantChangeType(n.Put(), const_cast<VARIANT*>(&FValue), 0, VT_I4))) WrongKind(what, u"a whole number");
  return n.FValue.lVal;
}

bool TVariant::AsBool(UStringView what) const {
  TVariant b;
  if (Failed(VariantChangeType(b.Put(), const_cast<VARIANT*>(&FValue), 0, VT_BOOL))) WrongKind(what, u"a Boolean");
  return b.FValue.boolVal != VARIANT_FALSE;
}

UString TVariant::AsText(UStringView what) const {
  if (FValue.vt != VT_BSTR) WrongKind(what, u"text");
  return BSTRText(FValue.bstrVal);
}

ComPtr<IDispatch> TVariant::AsDispatch(UStringView what) const {
  if (FValue.vt != VT_DISPATCH || !FValue.pdispVal) WrongKind(what, u"an object");
  return ComPtr<IDispatch>(FValue.pdispVal);
}

TComApartment::TComApartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (CoGetApartmentType(&type, &qualifier) != CO_E_NOTINITIALIZED) return;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (Failed(hr)) throw EDatabaseError(u"COM cannot be started on this thread: " + CodeText(hr));
  FStarted = true;
}

TComApartment::~TComApartment() {
  if (FStarted) CoUninitialize();
}

bool ProgIdRegistered(UStringView progId) {
  const UString text(progId);
  CLSID clsid;
  return Succeeded(CLSIDFromProgID(WideText(text), &clsid));
}

ComPtr<IDispatch> CreateAutomationObject(UStringView progId) {
  const UString text(progId);
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(WideText(text), &clsid);
  if (Failed(hr)) throw EDatabaseError(Format(u"%s is not registered: %s", {text, CodeText(hr)}));
  ComPtr<IDispatch> object;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid());
  if (Failed(hr) || !object)
    throw EDatabaseError(Format(u"%s cannot be created: %s", {text, CodeText(hr)}));
  return object;
}

TVariant GetProperty(IDispatch* object, UStringView name,
                     std::initializer_list<const VARIANT*> indexes) {
  return Invoke(object, name, DISPATCH_PROPERTYGET, indexes);
}

void PutProperty(IDispatch* object, UStringView name, const VARIANT& value) {
  Invoke(object, name, DISPATCH_PROPERTYPUT, {&value});
}

TVariant CallMethod(IDispatch* object, UStringView name, std::initializer_list<const VARIANT*> args) {
  return Invoke(object, name, DISPATCH_METHOD, args);
}
