#include "platform/os_error.h"

namespace velmo {

std::string describe_os_error(const OsError& error) {
  return error.text + " (os error " + std::to_string(error.code) + ")";
}

std::string phrase_with_error(std::string_view phrase, const OsError& error) {
  return std::string(phrase) + "：" + describe_os_error(error);
}

std::string format_stage_error(std::string_view stage, uint32_t code) {
  return std::string(stage) + "，错误码 " + std::to_string(code) + "。";
}

std::string format_os_error(std::string_view stage) {
  return format_stage_error(stage, last_os_error().code);
}

}  // namespace velmo
