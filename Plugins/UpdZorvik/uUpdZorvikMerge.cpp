#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "Plugins/UpdZorvik/uUpdZorvikStatement.h"
#include "jet/JetQuery.h"
#include "platform/InterfacedObject.h"

namespace {

// The length of text without its leading and trailing characters up to U+0020.
std::size_t TrimmedLength(UStringView text) {
  std::size_t b = 0, e = text.size();
  while (b < e && text[b] <= u' ') ++b;
  while (e > b && text[e - 1] <= u' ') --e;
  return e - b;
}

bool ContainsBureau(UStringView text) {
  static constexpr char16_t kWord[] = u"BUREAU";
  constexpr std::size_t n = 6;
  for (std::size_t i = 0; i + n <= text.size(); ++i) {
    std::size_t k = 0;
    for (; k < n; ++k) {
      char16_t c = text[i + k];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
      if (c != kWord[k]) break;
    }
    if (k == n) return true;
  }
  return false;
}

// The fields whose longer package value replaces the host's, in statement order.
struct LengthRule {
  int box;
  const char16_t* packageColumn;
  const char16_t* hostColumn;
};
constexpr LengthRule kLengthRules[] = {
    {1, u"Name", u"OMNAME"}, {2, u"QTH", u"OMQTH"}, {3, u"Grid", u"GRIDSQUARE"}, {4, u"State", u"STATE"}};
constexpr int kQslViaBox = 5;

}  // namespace

UString TfrmUpdZorvik::BuildUpdateSQL(std::int32_t handle, UStringView callsign, TJetQuery& query) {
  // Column names go to the host as BSTRs; made once per module.
  static const BStr kHostColumns[] = {BStr(u"OMNAME"), BStr(u"OMQTH"), BStr(u"GRIDSQUARE"), BStr(u"STATE")};
  UString list;
  BStr hostValue;
  for (std::size_t i = 0; i < std::size(kLengthRules); ++i) {
    const LengthRule& rule = kLengthRules[i];
    if (!cgUseFields.Checked(rule.box)) continue;
    std::int32_t found = 0;
    CheckSafeCallResult(FHostServer->GetFieldValue(handle, kHostColumns[i].Get(), hostValue.InOut(), &found));
    TJetField& field = query.FieldByName(rule.packageColumn);
    if (field.IsNull()) continue;
    UStringView package = field.AsView();
    std::size_t packageLength = TrimmedLength(package);
    if (packageLength == 0) continue;
    if (found == 0 || TrimmedLength(hostValue.View()) <
                          packageLength)
      AppendAssignment(list, rule.hostColumn, package);
  }
  if (cgUseFields.Checked(kQslViaBox)) {
    TJetField& field = query.FieldByName(u"Manager");
    if (!field.IsNull() && TrimmedLength(field.AsView()) > 0) {
      if (ContainsBureau(field.AsView())) {
        AppendTrueAssignment(list, u"Use_BUREAU");
      } else {
        AppendAssignment(list, u"QSLMANAGER", field.AsView());
      }
    }
  }
  if (list.empty()) return {};
  return UpdateStatement(list, callsign);
}
