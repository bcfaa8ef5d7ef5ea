#include "network/download_url.h"

#include <optional>

namespace velmo {

namespace {

constexpr char kSchemeMessage[] = "下载地址必须是 HTTP 或 HTTPS。";
constexpr char kPortMessage[] = "下载地址端口无效。";
constexpr char kHostMessage[] = "下载地址缺少服务器名称。";
constexpr char kFormatMessage[] = "正式安装包地址格式无效。";
constexpr char kNotHttpsMessage[] = "正式安装包地址必须是有效的 HTTPS 下载地址。";
constexpr char kMismatchMessage[] = "正式安装包地址与最新版本号不匹配。";

constexpr std::string_view kHttpsScheme = "https://";
constexpr std::string_view kHttpScheme = "http://";
constexpr uint16_t kHttpsPort = 443;
constexpr uint16_t kHttpPort = 80;

// Characters that would let a host name smuggle in a port, user-info, query,
// fragment, escape or IPv6 literal.
constexpr std::string_view kForbiddenHostChars = "\"#%:<>?@[]^`{}|";

// "+"? digits, at most 65535; the bound is checked per digit so a long run
// of digits cannot overflow.
std::optional<uint16_t> parse_port(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > 65535) {
      return std::nullopt;
    }
  }
  return static_cast<uint16_t>(value);
}

struct Authority {
  std::string_view host;
  // The text after the port colon, when there is one.
  std::optional<std::string_view> port;
};

// "[v6]" or "[v6]:port". The colons inside the brackets belong to the
// address, so only a colon right after "]" starts a port. Anything else
// after "]" cannot be a port designation and is reported as a bad port.
std::optional<Authority> split_bracketed(std::string_view authority) {
  const size_t close = authority.find(']');
  if (close == std::string_view::npos) {
    // An unclosed literal has no port separator; the whole text is the host
    // and the connection will fail on it.
    return Authority{authority, std::nullopt};
  }
  const std::string_view host = authority.substr(0, close + 1);
  const std::string_view rest = authority.substr(close + 1);
  if (rest.empty()) {
    return Authority{host, std::nullopt};
  }
  if (rest.front() != ':') {
    return std::nullopt;
  }
  return Authority{host, rest.substr(1)};
}

// Host and port text. The port colon is the last ":" with no "]" before it;
// a bracketed IPv6 literal is split by split_bracketed instead. nullopt means
// a bad port.
std::optional<Authority> split_authority(std::string_view authority) {
  if (!authority.empty() && authority.front() == '[') {
    return split_bracketed(authority);
  }
  const size_t colon = authority.rfind(':');
  if (colon == std::string_view::npos ||
      authority.substr(0, colon).find(']') != std::string_view::npos) {
    return Authority{authority, std::nullopt};
  }
  return Authority{authority.substr(0, colon), authority.substr(colon + 1)};
}

// Decodes the UTF-8 scalar value at `pos` and moves past it. Overlong forms,
// surrogates, values above U+10FFFF and truncated sequences give nullopt.
std::optional<char32_t> next_scalar(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - pos < length) {
    return std::nullopt;
  }
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if ((byte & 0xC0) != 0x80) {
      return std::nullopt;
    }
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return std::nullopt;
  }
  pos += length;
  return value;
}

// Characters with the Unicode White_Space property outside the ranges
// url_char_allowed rejects anyway.
bool is_unicode_space(char32_t c) {
  return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Control characters (C0, DEL, C1; these include the remaining White_Space
// characters U+0009-U+000D and U+0085), spaces and backslashes never belong
// in an installer address: they would be read differently by different
// parsers, or hide part of the address from the user.
bool url_char_allowed(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
    return false;
  }
  return !is_unicode_space(c) && c != U'\\';
}

Status check_url_text(std::string_view url) {
  size_t pos = 0;
  while (pos < url.size()) {
    const std::optional<char32_t> c = next_scalar(url, pos);
    if (!c || !url_char_allowed(*c)) {
      return fail(kFormatMessage);
    }
  }
  return ok();
}

bool is_plain_https(const ParsedUrl& url) {
  if (url.host.find_first_of(kForbiddenHostChars) != std::string::npos) {
    return false;
  }
  if (!url.secure || url.port != kHttpsPort) {
    return false;
  }
  return url.path.find_first_of("?#") == std::string::npos;
}

}  // namespace

Result<ParsedUrl> parse_download_url(std::string_view url) {
  ParsedUrl parsed;
  if (url.starts_with(kHttpsScheme)) {
    parsed.secure = true;
    parsed.port = kHttpsPort;
    url.remove_prefix(kHttpsScheme.size());
  } else if (url.starts_with(kHttpScheme)) {
    parsed.secure = false;
    parsed.port = kHttpPort;
    url.remove_prefix(kHttpScheme.size());
  } else {
    return fail(kSchemeMessage);
  }

  const size_t slash = url.find('/');
  const std::string_view authority = url.substr(0, slash);
  parsed.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));

  const std::optional<Authority> split = split_authority(authority);
  if (!split) {
    return fail(kPortMessage);
  }
  if (split->port) {
    const std::optional<uint16_t> port = parse_port(*split->port);
    if (!port) {
      return fail(kPortMessage);
    }
    parsed.port = *port;
  }
  if (split->host.empty()) {
    return fail(kHostMessage);
  }
  parsed.host = std::string(split->host);
  return parsed;
}

std::string installer_file_name(std::string_view version) {
  std::string name = "VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v";
  name.append(version);
  name.append(".exe");
  return name;
}

Status validate_installer_url(std::string_view url, std::string_view latest_version) {
  if (Status text = check_url_text(url); !text) {
    return text;
  }
  const Result<ParsedUrl> parsed = parse_download_url(url);
  if (!parsed) {
    return fail(parsed.error());
  }
  if (!is_plain_https(*parsed)) {
    return fail(kNotHttpsMessage);
  }
  const std::string expected_path =
      std::string(kInstallerPathPrefix) + installer_file_name(latest_version);
  if (parsed->path != expected_path) {
    return fail(kMismatchMessage);
  }
  return ok();
}

}  // namespace velmo
