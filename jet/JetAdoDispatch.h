// Late-bound calls on ADO's automation objects through IDispatch, owners for the VARIANTs
// they exchange, and the thread's COM apartment while ADO is in use. Used by the layer's
// Windows sources only.
#pragma once

#include <initializer_list>

#include "platform/ComBase.h"
#include "platform/OleAuto.h"
#include "platform/UStrings.h"

// Owns one VARIANT and clears it when it goes.
class TVariant {
 public:
  TVariant() { VariantInit(&FValue); }
  ~TVariant() { VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  TVariant(TVariant&& o) noexcept : FValue(o.FValue) { VariantInit(&o.FValue); }

  static TVariant Text(UStringView text);
  static TVariant Int(long value);
  // Holds a new reference to object.
  static TVariant Dispatch(IDispatch* object);
  // The value that stands for an optional argument left out.
  static TVariant Missing();

  const VARIANT& Get() const { return FValue; }
  // Clears what is held and gives the address for an out parameter.
  VARIANT* Put() {
    VariantClear(&FValue);
    return &FValue;
  }
  VARTYPE Type() const { return FValue.vt; }

  // Reads as a whole number, a Boolean or an object; raise EDatabaseError naming what
  // when the value is of another kind.
  long AsInt(UStringView what) const;
  bool AsBool(UStringView what) const;
  UString AsText(UStringView what) const;
  ComPtr<IDispatch> AsDispatch(UStringView what) const;

 private:
  VARIANT FValue;
};

// Keeps the calling thread in a COM apartment while it lives. A thread that has one keeps
// it unchanged; a thread without one becomes a single-threaded apartment until the guard
// goes. Raises EDatabaseError when COM cannot be started.
class TComApartment {
 public:
  TComApartment();
  ~TComApartment();
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

 private:
  bool FStarted = false;  // this guard made the apartment and ends it
};

// Creates the automation object registered as progId. Raises EDatabaseError naming
// progId when it is not registered or cannot be created.
ComPtr<IDispatch> CreateAutomationObject(UStringView progId);

// Reads a property, with indexes for an indexed one. Raises EDatabaseError with the
// object's own description of the fault (or the system's text for the code) on failure.
TVariant GetProperty(IDispatch* object, UStringView name,
                     std::initializer_list<const VARIANT*> indexes = {});
void PutProperty(IDispatch* object, UStringView name, const VARIANT& value);
// Calls a method with arguments in their declared order; raises as GetProperty.
TVariant CallMethod(IDispatch* object, UStringView name,
                    std::initializer_list<const VARIANT*> args = {});

// Whether a COM class is registered under progId for this process.
bool ProgIdRegistered(UStringView progId);
