#include "zip/Cp437.h"

namespace {

// Characters of the bytes 0x80 to 0xFF.
constexpr char16_t kUpperHalf[] =
    u"ÇüéâäàåçêëèïîìÄÅ"
    u"ÉæÆôöòûùÿÖÜ¢£¥₧ƒ"
    u"áíóúñÑªº¿⌐¬½¼¡«»"
    u"░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
    u"└┴┬├─┼╞╟╚╔╩╦╠═╬╧"
    u"╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
    u"αßΓπΣσµτΦΘΩδ∞φε∩"
    u"≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
static_assert(sizeof(kUpperHalf) / sizeof(char16_t) == 129, "128 characters and the terminator");

}  // namespace

UString Cp437ToUString(std::string_view s) {
  UString r(s.size(), u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    r[i] = b < 0x80 ? char16_t(b) : kUpperHalf[b - 0x80];
  }
  return r;
}
