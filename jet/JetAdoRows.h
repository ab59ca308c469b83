// Turning what ADO delivers into the column store: its column kinds into Jet's, and the
// arrays of values that Recordset.GetRows returns into rows. Windows only.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/JetColumn.h"
#include "platform/OleAuto.h"

// The TJetDataType of an ADO DataTypeEnum value; 0 for a kind that Jet does not store.
int JetTypeOfAdoType(long adoType);

// Appends the rows of a GetRows result (a two-dimensional array of VARIANTs, fields by
// rows) to columns, one value per column, and returns how many rows there were. Values
// read as the libmdb side writes them (see TJetField::AsString); NULL and empty values
// stay apart, and long binary columns and kinds Jet does not store read as NULL. Raises
// EDatabaseError when the array is not of that shape or has another number of fields.
std::uint32_t AppendAdoRows(std::vector<TJetColumn>& columns, const VARIANT& rows);
