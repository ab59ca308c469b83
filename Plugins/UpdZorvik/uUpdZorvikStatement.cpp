#include "Plugins/UpdZorvik/uUpdZorvikStatement.h"

#include "support/uCommFunc.h"

void AppendAssignment(UString& list, UStringView column, UStringView value) {
  if (!list.empty()) list.push_back(u',');
  list += column;
  list.push_back(u'=');
  list += QuoteSQLLiteral(value);
}

void AppendTrueAssignment(UString& list, UStringView column) {
  if (!list.empty()) list.push_back(u',');
  list += column;
  list += u"=TRUE";
}

UString UpdateStatement(UStringView list, UStringView callsign) {
  UString sql;
  sql.reserve(list.size() + callsign.size() + 40);
  sql += u"UPDATE CALLBOOK SET ";
  sql += list;
  sql += u" WHERE OMCALL=";
  sql += QuoteSQLLiteral(callsign);
  return sql;
}
