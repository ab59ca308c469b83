#include "jet/JetField.h"

#include "jet/JetColumn.h"
#include "jet/JetQuery.h"

const UString& TJetField::FieldName() const { return FColumn->Name(); }

int TJetField::DataType() const { return FColumn->DataType(); }

bool TJetField::IsNull() const {
  const std::uint32_t row = FQuery->CurrentRow();
  return row == TJetQuery::NoRow || FColumn->IsNull(row);
}

UStringView TJetField::AsView() const {
  const std::uint32_t row = FQuery->CurrentRow();
  return row == TJetQuery::NoRow ? UStringView() : FColumn->Text(row);
}
