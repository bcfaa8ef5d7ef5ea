// Fuzzes the install manifest reader's text rules: whatever the bytes,
// parsing must not crash, and what it accepts must be exactly what the
// writer's form and the array form give back.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "platform/strict_json.h"
#include "platform/utf.h"
#include "product_files/install_manifest.h"

namespace velmo::fuzz {
namespace {

using Json = nlohmann::json;

Json as_object(const InstallManifest& m) {
  return Json{{"commandLibraryPath", m.command_library_path},
              {"executablePath", m.executable_path},
              {"installPath", m.install_path},
              {"product", m.product},
              {"version", m.version}};
}

Json as_array(const InstallManifest& m) {
  return Json::array(
      {m.command_library_path, m.executable_path, m.install_path, m.product, m.version});
}

void check_accepted(std::string_view text, const InstallManifest& manifest) {
  for (const std::string* field : {&manifest.command_library_path, &manifest.executable_path,
                                   &manifest.install_path, &manifest.product, &manifest.version}) {
    require(is_valid_utf8(*field), "accepted fields are valid UTF-8");
  }
  require(parse_install_manifest(as_object(manifest).dump()) == manifest,
          "the object form reads back the same");
  require(parse_install_manifest(as_array(manifest).dump()) == manifest,
          "the array form reads back the same");
  require(parse_strict_json(text).has_value(), "accepted text is strict JSON");
  // Text after the document is never accepted.
  require(!parse_install_manifest(std::string(text) + "x").has_value(), "trailing text is refused");
  require(parse_install_manifest(std::string(text) + " \n").has_value(),
          "trailing white space is accepted");
}

}  // namespace
}  // namespace velmo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto manifest = velmo::parse_install_manifest(text);
  velmo::fuzz::require(manifest == velmo::parse_install_manifest(text), "parsing is deterministic");
  if (manifest) {
    velmo::fuzz::check_accepted(text, *manifest);
  }
  return 0;
}
