#include "network/policy_document.h"

#include <array>
#include <bitset>
#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "network/download_url.h"
#include "network/sha256_file.h"
#include "network/version.h"
#include "platform/ascii.h"

namespace velmo {

namespace {

using Json = nlohmann::json;

constexpr char kFormatMessage[] = "正式更新策略格式无效，已停止当前操作。";
constexpr char kTargetMessage[] = "正式更新策略与当前 Windows x64 助手不匹配。";
constexpr char kVersionMessage[] = "正式更新策略中的版本号无效。";
constexpr char kVersionOrderMessage[] = "正式更新策略中的最低版本高于最新版本。";
constexpr char kDigestMessage[] = "正式安装包 SHA256 无效。";
constexpr char kSizeMessage[] = "正式安装包大小无效。";
constexpr char kProbePrefix[] = "读取正式安装包大小失败：";

// What the policy describes: the assistant itself is always "0.0.0" for
// Windows x86_64, so a policy for anything else was not meant for it.
constexpr std::string_view kAssistantVersion = "0.0.0";
constexpr std::string_view kTarget = "windows";
constexpr std::string_view kArch = "x86_64";

constexpr uint64_t kMaxInstallerBytes = 4294967295u;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The fields in document order; the array form lists them in this order too.
enum class Field {
  kCurrentVersion,
  kMinSupportedVersion,
  kLatestVersion,
  kDownloadUrl,
  kUpdateSha256,
  kInstallerBytes,
  kTarget,
  kArch,
  kUnknown,
};

constexpr size_t kFieldCount = 8;

constexpr std::array<std::string_view, kFieldCount> kFieldNames = {
    "currentVersion", "minSupportedVersion", "latestVersion", "downloadUrl",
    "updateSha256",   "installerBytes",      "target",        "arch",
};

Field field_by_name(std::string_view name) {
  for (size_t i = 0; i < kFieldCount; ++i) {
    if (kFieldNames[i] == name) {
      return static_cast<Field>(i);
    }
  }
  return Field::kUnknown;
}

// A JSON value event as far as the policy cares about it.
enum class ValueKind { kString, kUnsigned, kNull, kOther };

struct Value {
  ValueKind kind;
  std::string* text = nullptr;
  uint64_t number = 0;
};

// SAX reader for the policy. nlohmann's SAX parser keeps its nesting on the
// heap, and this reader keeps only a depth counter while it skips unknown
// values, so deeply nested input cannot exhaust the stack, and nothing but
// the eight fields and the top-level key names is stored.
//
// Depth 0 is outside the document, 1 inside the top-level object or array,
// 2 and more inside a skipped value. Returning false stops the parse.
class PolicyReader {
 public:
  bool null() { return on_value({ValueKind::kNull}); }
  bool boolean(bool) { return on_value({ValueKind::kOther}); }
  bool number_integer(Json::number_integer_t) {
    // nlohmann reports only negative numbers (and "-0") this way.
    return on_value({ValueKind::kOther});
  }
  bool number_unsigned(Json::number_unsigned_t number) {
    return on_value({ValueKind::kUnsigned, nullptr, number});
  }
  bool number_float(Json::number_float_t, const Json::string_t&) {
    // Fractions, exponents and integers beyond 64 bits.
    return on_value({ValueKind::kOther});
  }
  bool string(Json::string_t& text) { return on_value({ValueKind::kString, &text}); }
  bool binary(Json::binary_t&) { return false; }

  bool start_object(std::size_t) { return open(Layout::kObject); }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(Layout::kArray); }
  bool end_array() { return close(); }

  bool key(Json::string_t& name) {
    if (depth_ != 1) {
      return true;
    }
    // A repeated key is ambiguous whichever it is: different JSON readers
    // keep the first or the last value. Unknown keys are held to the same
    // rule so the policy means the same to every reader.
    if (!seen_keys_.insert(name).second) {
      return false;
    }
    pending_ = field_by_name(name);
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const Json::exception&) { return false; }

  // The policy, once the whole top-level container was read.
  std::optional<BootstrapPolicy> take() {
    if (!complete_) {
      return std::nullopt;
    }
    return std::move(policy_);
  }

 private:
  enum class Layout { kNone, kObject, kArray };

  // The field the next top-level value fills; nullopt when there is none
  // (a ninth array element).
  std::optional<Field> next_field() {
    if (layout_ == Layout::kObject) {
      return pending_;
    }
    if (array_index_ >= kFieldCount) {
      return std::nullopt;
    }
    return static_cast<Field>(array_index_++);
  }

  bool open(Layout layout) {
    if (depth_ == 0) {
      layout_ = layout;
      depth_ = 1;
      return true;
    }
    if (depth_ == 1) {
      // A container is never a valid field value; only unknown keys may
      // hold one, and then it is skipped.
      const std::optional<Field> field = next_field();
      if (field != Field::kUnknown) {
        return false;
      }
    }
    ++depth_;
    return true;
  }

  bool close() {
    --depth_;
    if (depth_ > 0) {
      return true;
    }
    complete_ = has_required_fields();
    return complete_;
  }

  bool has_required_fields() const {
    std::bitset<kFieldCount> required = present_;
    required.set(static_cast<size_t>(Field::kInstallerBytes));
    return required.all();
  }

  bool on_value(Value value) {
    if (depth_ == 0) {
      // A bare scalar is not a policy.
      return false;
    }
    if (depth_ > 1) {
      return true;
    }
    const std::optional<Field> field = next_field();
    if (!field) {
      return false;
    }
    if (*field == Field::kUnknown) {
      return true;
    }
    if (!store(*field, value)) {
      return false;
    }
    present_.set(static_cast<size_t>(*field));
    return true;
  }

  bool store(Field field, const Value& value) {
    if (field == Field::kInstallerBytes) {
      return store_size(value);
    }
    std::string* target = string_field(field);
    if (target == nullptr || value.kind != ValueKind::kString) {
      return false;
    }
    *target = std::move(*value.text);
    return true;
  }

  bool store_size(const Value& value) {
    if (value.kind == ValueKind::kNull) {
      policy_.installer_bytes.reset();
      return true;
    }
    if (value.kind != ValueKind::kUnsigned) {
      return false;
    }
    policy_.installer_bytes = value.number;
    return true;
  }

  // The member a string field fills; nullptr for the others.
  std::string* string_field(Field field) {
    switch (field) {
      case Field::kCurrentVersion:
        return &policy_.current_version;
      case Field::kMinSupportedVersion:
        return &policy_.min_supported_version;
      case Field::kLatestVersion:
        return &policy_.latest_version;
      case Field::kDownloadUrl:
        return &policy_.download_url;
      case Field::kUpdateSha256:
        return &policy_.update_sha256;
      case Field::kTarget:
        return &policy_.target;
      case Field::kArch:
        return &policy_.arch;
      case Field::kInstallerBytes:
      case Field::kUnknown:
        break;
    }
    return nullptr;
  }

  Layout layout_ = Layout::kNone;
  size_t depth_ = 0;
  size_t array_index_ = 0;
  Field pending_ = Field::kUnknown;
  std::set<std::string, std::less<>> seen_keys_;
  std::bitset<kFieldCount> present_;
  bool complete_ = false;
  BootstrapPolicy policy_;
};

bool is_valid_size(uint64_t bytes) {
  return bytes >= 1 && bytes <= kMaxInstallerBytes;
}

Status check_target(const BootstrapPolicy& policy) {
  if (policy.current_version != kAssistantVersion || policy.target != kTarget ||
      policy.arch != kArch) {
    return fail(kTargetMessage);
  }
  return ok();
}

Status check_versions(const BootstrapPolicy& policy) {
  const Result<VersionTriple> latest = parse_version(policy.latest_version);
  if (!latest) {
    return fail(kVersionMessage);
  }
  const Result<VersionTriple> min_supported = parse_version(policy.min_supported_version);
  if (!min_supported) {
    return fail(kVersionMessage);
  }
  // Equal is fine: the service may support only the newest release.
  if (*min_supported > *latest) {
    return fail(kVersionOrderMessage);
  }
  return ok();
}

Result<uint64_t> installer_size(const BootstrapPolicy& policy, const InstallerSizeProbe& probe) {
  if (policy.installer_bytes) {
    if (!is_valid_size(*policy.installer_bytes)) {
      return fail(kSizeMessage);
    }
    return *policy.installer_bytes;
  }
  const Result<uint64_t> probed = probe(policy.download_url);
  if (!probed) {
    return fail(kProbePrefix + probed.error());
  }
  if (!is_valid_size(*probed)) {
    return fail(kSizeMessage);
  }
  return *probed;
}

}  // namespace

Result<BootstrapPolicy> parse_bootstrap_policy(std::string_view body) {
  // nlohmann skips a leading byte order mark silently; JSON on the wire
  // must not carry one (RFC 8259, section 8.1), so it is refused here.
  if (body.starts_with(kUtf8Bom)) {
    return fail(kFormatMessage);
  }
  // nlohmann's lexer takes a NUL byte for the end of the input, so a NUL
  // after the document would pass the strict end check. JSON never allows a
  // raw NUL anywhere (inside strings it must be escaped), so any NUL is
  // refused here.
  if (body.find('\0') != std::string_view::npos) {
    return fail(kFormatMessage);
  }
  PolicyReader reader;
  bool parsed = false;
  try {
    // Strict: only whitespace may follow the document.
    parsed =
        Json::sax_parse(body.begin(), body.end(), &reader, nlohmann::json::input_format_t::json,
                        /*strict=*/true, /*ignore_comments=*/false);
  } catch (const Json::exception&) {
    parsed = false;
  }
  if (!parsed) {
    return fail(kFormatMessage);
  }
  std::optional<BootstrapPolicy> policy = reader.take();
  if (!policy) {
    return fail(kFormatMessage);
  }
  return std::move(*policy);
}

Result<VerifiedRelease> validate_bootstrap_policy(const BootstrapPolicy& policy,
                                                  const InstallerSizeProbe& probe_installer_size) {
  if (Status status = check_target(policy); !status) {
    return fail(status.error());
  }
  if (Status status = check_versions(policy); !status) {
    return fail(status.error());
  }
  if (!is_sha256_text(policy.update_sha256)) {
    return fail(kDigestMessage);
  }
  if (Status status = validate_installer_url(policy.download_url, policy.latest_version); !status) {
    return fail(status.error());
  }
  const Result<uint64_t> bytes = installer_size(policy, probe_installer_size);
  if (!bytes) {
    return fail(bytes.error());
  }
  return VerifiedRelease{.latest_version = policy.latest_version,
                         .download_url = policy.download_url,
                         .sha256 = to_ascii_upper(policy.update_sha256),
                         .installer_bytes = *bytes};
}

}  // namespace velmo
