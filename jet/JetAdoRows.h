// Turning what ADO delivers into the column store: its column kinds into Jet's, and the
// arrays of values that Recordset.GetRows returns into rows. Windows only.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/JetColumn.h"
#include "platform/OleAuto.h"

// The TJetDataType of an ADO DataTypeEnum value; 0 for a kind that Jet does not store.
int JetTypeOfAdoType(long adoType);

// The columns whose values GetRows fetches: all but long binary (OLE) ones, whose values
// are not loaded and could be large; the first column when there is no other.
std::vector<std::uint32_t> FetchedColumns(const std::vector<TJetColumn>& columns);

// Appends the rows of a GetRows result (a two-dimensional array of VARIANTs, fields by
// rows) to columns and returns how many rows there were. fetched gives the column of each
// field of the array, in order; every other column gets NULL. Values read as the libmdb
// side writes them (see TJetField::AsString); NULL and empty values stay apart, and long
// binary columns and kinds Jet does not store read as NULL. Raises EDatabaseError when the
// array is not of that shape or its fields do not match fetched.
std::uint32_t AppendAdoRows(std::vector<TJetColumn>& columns, const VARIANT& rows,
                            const std::vector<std::uint32_t>& fetched);
