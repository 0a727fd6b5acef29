#include "remote/Cp1254.h"

#include <cstdint>

namespace vantrel {
namespace {

// Unicode code points of bytes 0x80-0x9F; 0 marks a byte the code page leaves undefined.
constexpr char32_t kHigh80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0,      0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0,      0x0178};

// Bytes 0xA0-0xFF are Latin-1 apart from the six Turkish letters.
char32_t CodePointOf(unsigned char b) {
  if (b < 0x80) return b;
  if (b < 0xA0) return kHigh80[b - 0x80];
  switch (b) {
    case 0xD0: return 0x011E;  // Ğ
    case 0xDD: return 0x0130;  // İ
    case 0xDE: return 0x015E;  // Ş
    case 0xF0: return 0x011F;  // ğ
    case 0xFD: return 0x0131;  // ı
    case 0xFE: return 0x015F;  // ş
    default: return b;
  }
}

int ByteOf(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (int b = 0x80; b <= 0xFF; ++b)
    if (CodePointOf(static_cast<unsigned char>(b)) == cp) return b;
  return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Cp1254FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    char32_t cp = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; valid && k <= extra; ++k) {
      auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (!valid || (extra == 1 && cp < 0x80)) {
      out += '?';
      ++i;
      continue;
    }
    int b = ByteOf(cp);
    out += b < 0 ? '?' : static_cast<char>(b);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string Utf8FromCp1254(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    char32_t cp = CodePointOf(static_cast<unsigned char>(c));
    if (cp == 0 && c != 0) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace vantrel
