#include "product_install/hide_path.h"

#include "platform/captured_process.h"
#include "platform/mutation_seam.h"

namespace velmo {

namespace {

constexpr char kHideFailed[] = "隐藏工作台运行组件失败";

}  // namespace

Status hide_path(const std::string& path) {
  // By full path: a bare name would be looked for in the assistant's own
  // folder first.
  return hide_path_with(system_program_path("attrib.exe"), path);
}

Status hide_path_with(const std::string& attrib_program, const std::string& path) {
  // The attribute change is made by another program, so it is offered to
  // the test seam here, where the platform layer cannot see it.
  if (auto fault = mutation_fault(Mutation::kSetAttributes, path)) {
    return fail(phrase_with_error(kHideFailed, *fault));
  }
  const OsResult<CapturedRun> run = run_captured(attrib_program, {"+H", path});
  if (!run) {
    return fail(phrase_with_error(kHideFailed, run.error()));
  }
  if (run->exit_code != 0) {
    return fail(std::string(kHideFailed) + "，attrib 退出码：" + std::to_string(run->exit_code));
  }
  return ok();
}

}  // namespace velmo
