#include "installer/bootstrap_policy.h"

namespace velmo {

Result<VerifiedRelease> fetch_bootstrap_policy() {
  return fail("连接正式更新服务失败：此版本尚未接入更新服务。");
}

}  // namespace velmo
