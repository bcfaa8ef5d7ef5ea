#include "platform/secure_protocols.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmo {
namespace {

constexpr char kSendStage[] = "发送更新策略请求失败";

// A system that refuses the protocol sets in `refusals` with the given
// error code and accepts every other; it records what it was offered.
struct ScriptedSystem {
  std::map<uint32_t, uint32_t> refusals;
  std::vector<uint32_t> offered;

  SecureProtocolSetter setter() {
    return [this](uint32_t protocols) -> OsStatus {
      offered.push_back(protocols);
      const auto refusal = refusals.find(protocols);
      if (refusal != refusals.end()) {
        return std::unexpected(OsError{refusal->second, "refused"});
      }
      return {};
    };
  }
};

TEST(SecureProtocolsTest, OffersTls13AndFallsBackToTls12Alone) {
  struct Case {
    const char* name;
    std::map<uint32_t, uint32_t> refusals;
    std::vector<uint32_t> offered;
    std::optional<std::string> error;
  };
  const Case cases[] = {
      {"TLS 1.2 and 1.3 accepted", {}, {0x2800}, std::nullopt},
      {"TLS 1.3 refused, as Windows 10 before it does",
       {{0x2800, 87}},
       {0x2800, 0x800},
       std::nullopt},
      {"both refused: the request is not sent with the system's defaults",
       {{0x2800, 87}, {0x800, 12018}},
       {0x2800, 0x800},
       "发送更新策略请求失败，错误码 12018。"},
  };
  for (const Case& c : cases) {
    ScriptedSystem system{c.refusals, {}};
    const Status offered = offer_secure_protocols(system.setter(), kSendStage);
    EXPECT_EQ(system.offered, c.offered) << c.name;
    if (c.error) {
      ASSERT_FALSE(offered.has_value()) << c.name;
      EXPECT_EQ(offered.error(), *c.error) << c.name;
    } else {
      EXPECT_TRUE(offered.has_value()) << c.name << ": " << offered.error();
    }
  }
}

// TLS 1.0 (0x80) and 1.1 (0x200) are in no set the client offers.
TEST(SecureProtocolsTest, NoSetOffersTls10Or11) {
  for (const uint32_t protocols : kSecureProtocolChoices) {
    EXPECT_EQ(protocols & 0x280u, 0u) << std::hex << protocols;
    EXPECT_NE(protocols & kSecureProtocolTls12, 0u) << std::hex << protocols;
  }
}

}  // namespace
}  // namespace velmo
