#include "platform/secure_protocols.h"

namespace velmo {

Status offer_secure_protocols(const SecureProtocolSetter& set, std::string_view send_stage) {
  OsError refused;
  for (const uint32_t protocols : kSecureProtocolChoices) {
    const OsStatus accepted = set(protocols);
    if (accepted) {
      return ok();
    }
    refused = accepted.error();
  }
  return fail(format_stage_error(send_stage, refused.code));
}

}  // namespace velmo
