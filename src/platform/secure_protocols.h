#ifndef VELMO_PLATFORM_SECURE_PROTOCOLS_H_
#define VELMO_PLATFORM_SECURE_PROTOCOLS_H_

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/os_error.h"
#include "platform/result.h"

namespace velmo {

// WinHTTP's bits for WINHTTP_OPTION_SECURE_PROTOCOLS, kept here so the choice
// below can be tested without the Windows headers (http_win.cc checks them
// against the SDK).
inline constexpr uint32_t kSecureProtocolTls12 = 0x00000800;
inline constexpr uint32_t kSecureProtocolTls13 = 0x00002000;

// The TLS versions offered on secure connections, best first. TLS 1.0 and 1.1
// are never offered: the policy names what runs as administrator. Windows 10
// before TLS 1.3 support refuses a set that names TLS 1.3
// (ERROR_INVALID_PARAMETER) rather than ignoring the bit, so TLS 1.2 alone
// follows.
inline constexpr std::array<uint32_t, 2> kSecureProtocolChoices = {
    kSecureProtocolTls12 | kSecureProtocolTls13,
    kSecureProtocolTls12,
};

// Sets the option to the given protocol bits; the error is the system's
// reason for refusing them.
using SecureProtocolSetter = std::function<OsStatus(uint32_t protocols)>;

// Offers kSecureProtocolChoices in order until one is accepted. When every
// set is refused, the connection must not go ahead with the system's
// defaults (which may still include TLS 1.0): the failure is reported as
// the request's send stage, "{send_stage}，错误码 {code}。" with the last
// refusal's code, since the handshake is what could not be sent.
Status offer_secure_protocols(const SecureProtocolSetter& set, std::string_view send_stage);

}  // namespace velmo

#endif  // VELMO_PLATFORM_SECURE_PROTOCOLS_H_
