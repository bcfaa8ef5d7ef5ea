#ifndef VELMO_PRODUCT_INSTALL_HRESULT_TEXT_H_
#define VELMO_PRODUCT_INSTALL_HRESULT_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace velmo {

// "0x" and the HRESULT's 32-bit value as 8 upper-case hexadecimal digits,
// the form support looks these codes up by.
std::string hresult_hex(uint32_t hresult);

// "{phrase}，错误码 0x{hresult}。": the shell's and COM's failures carry no
// text the user could act on, only the code.
std::string hresult_failure(std::string_view phrase, uint32_t hresult);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_HRESULT_TEXT_H_
