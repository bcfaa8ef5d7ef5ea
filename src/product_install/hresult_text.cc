#include "product_install/hresult_text.h"

namespace velmo {

std::string hresult_hex(uint32_t hresult) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text.push_back(kDigits[(hresult >> shift) & 0xF]);
  }
  return text;
}

std::string hresult_failure(std::string_view phrase, uint32_t hresult) {
  return std::string(phrase) + "，错误码 " + hresult_hex(hresult) + "。";
}

}  // namespace velmo
