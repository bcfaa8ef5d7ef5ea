#include "velmo-pack/pack_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "bundle_builder.h"
#include "network/download_url.h"
#include "network/policy_document.h"
#include "platform/file_system.h"
#include "product_install/bundle_reader.h"
#include "product_install/bundle_source.h"
#include "temp_dir.h"
#include "velmo-pack/pending_output.h"

namespace velmo::pack {
namespace {

using test::Bytes;
using Json = nlohmann::json;

constexpr char kVersion[] = "1.2.3";
constexpr char kBaseUrl[] = "https://downloads.example.com";

// A failing row of a table is shown by its name rather than its bytes.
template <typename Case>
requires requires(const Case& c) {
  std::string_view(c.name);
}
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

struct PackRun {
  int code;
  std::string out;
  std::string err;
};

PackRun run(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = run_pack(args, out, err);
  return {code, out.str(), err.str()};
}

std::vector<std::string> plus(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string text_of(const Bytes& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes read_bytes(const std::string& path) {
  return test::bytes_of(test::read_file(path));
}

// "MZ", then a pattern that differs per seed, so swapped or shifted payloads
// would not hash alike.
Bytes program(size_t bytes, uint8_t seed) {
  Bytes image(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    image[i] = static_cast<std::byte>((i * 31 + seed) & 0xFF);
  }
  image[0] = std::byte{'M'};
  image[1] = std::byte{'Z'};
  return image;
}

// The assistant's verdict on bytes in memory.
Result<VerifiedBundle> read_bundle(const Bytes& file, std::optional<std::string_view> version) {
  MemoryBundleSource source(file);
  return read_verified_bundle(source, file.size(), version);
}

// The inputs of one pack in a directory of their own, under names that are
// not ASCII so that the Windows backend's conversions are exercised too.
class PackFiles {
 public:
  PackFiles() { write_all(); }

  void set_installer(Bytes bytes) {
    installer = std::move(bytes);
    write_all();
  }
  void set_main_program(Bytes bytes) {
    main_program = std::move(bytes);
    write_all();
  }
  void set_startup_helper(Bytes bytes) {
    startup_helper = std::move(bytes);
    write_all();
  }

  std::vector<std::string> bundle_args() const {
    return {"bundle",           "--installer", installer_path, "--main-program", main_path,
            "--startup-helper", helper_path,   "--version",    version,          "-o",
            output_path};
  }

  std::string temporary_path() const { return output_path + kTemporarySuffix; }

  test::TempDir dir{"velmo-pack"};
  std::string installer_path = dir.join("安装程序-Setup.exe");
  std::string main_path = dir.join("VelmoQen工作台.exe");
  std::string helper_path = dir.join("更新助手.exe");
  std::string output_path = dir.join("VelmoQen工作台-Setup-v1.2.3.exe");
  std::string version = kVersion;
  Bytes installer = test::make_pe_image({.image_bytes = 1024});
  Bytes main_program = program(3000, 1);
  Bytes startup_helper = program(700, 2);

 private:
  void write_all() {
    test::write_file(installer_path, text_of(installer));
    test::write_file(main_path, text_of(main_program));
    test::write_file(helper_path, text_of(startup_helper));
  }
};

// Checks a packed file against the layout, independently of the packer: the
// inputs back to back, the manifest and header, zero padding up to 8.
void expect_packed_layout(const PackFiles& files, const Bytes& file) {
  Bytes payload_area = files.installer;
  payload_area.insert(payload_area.end(), files.main_program.begin(), files.main_program.end());
  payload_area.insert(payload_area.end(), files.startup_helper.begin(), files.startup_helper.end());
  ASSERT_GE(file.size(), payload_area.size() + kBundleHeaderBytes);
  EXPECT_TRUE(std::equal(payload_area.begin(), payload_area.end(), file.begin()));
  EXPECT_EQ(file.size() % 8, 0u);

  const Result<VerifiedBundle> bundle = read_bundle(file, files.version);
  ASSERT_TRUE(bundle) << bundle.error();
  EXPECT_EQ(bundle->search_end, file.size());
  EXPECT_EQ(bundle->manifest_offset, payload_area.size());
  const uint64_t trailer_end = bundle->header_offset + kBundleHeaderBytes;
  ASSERT_LE(trailer_end, file.size());
  EXPECT_LT(file.size() - trailer_end, 8u);
  EXPECT_TRUE(std::all_of(file.begin() + static_cast<ptrdiff_t>(trailer_end), file.end(),
                          [](std::byte b) { return b == std::byte{0}; }));

  const BundleManifest& m = bundle->manifest;
  EXPECT_EQ(m.schema_version, 1u);
  EXPECT_EQ(m.product, "VelmoQen工作台");
  EXPECT_EQ(m.version, files.version);
  EXPECT_EQ(m.main_program, (BundlePayload{files.installer.size(), files.main_program.size(),
                                           test::sha256_hex(files.main_program)}));
  EXPECT_EQ(m.startup_helper,
            (BundlePayload{files.installer.size() + files.main_program.size(),
                           files.startup_helper.size(), test::sha256_hex(files.startup_helper)}));
}

class BundleTest : public testing::Test {
 protected:
  PackFiles files_;
};

TEST_F(BundleTest, WritesTheInputsAndATrailerTheAssistantVerifies) {
  const PackRun r = run(files_.bundle_args());
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  EXPECT_TRUE(r.err.empty());
  expect_packed_layout(files_, read_bytes(files_.output_path));
  EXPECT_FALSE(path_exists(files_.temporary_path()));
}

TEST_F(BundleTest, SummaryIsOneJsonLineDescribingTheFileWritten) {
  const PackRun r = run(files_.bundle_args());
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  ASSERT_TRUE(r.out.ends_with('\n'));
  const Json summary = Json::parse(r.out);
  const Bytes file = read_bytes(files_.output_path);
  const Result<VerifiedBundle> bundle = read_bundle(file, kVersion);
  ASSERT_TRUE(bundle) << bundle.error();

  EXPECT_EQ(summary.at("path"), files_.output_path);
  EXPECT_EQ(summary.at("bytes"), file.size());
  EXPECT_EQ(summary.at("sha256"), test::sha256_hex(file));
  EXPECT_EQ(summary.at("signed"), false);
  EXPECT_EQ(summary.at("searchEnd"), file.size());
  EXPECT_EQ(summary.at("headerOffset"), bundle->header_offset);
  EXPECT_EQ(summary.at("manifestOffset"), bundle->manifest_offset);
  EXPECT_EQ(summary.at("manifestBytes"), bundle->header_offset - bundle->manifest_offset);
  EXPECT_EQ(summary.at("padding"), file.size() - bundle->header_offset - kBundleHeaderBytes);
  EXPECT_EQ(summary.at("manifest"), Json::parse(serialize_bundle_manifest(bundle->manifest)));
}

TEST_F(BundleTest, PadsEveryLengthToAMultipleOfEight) {
  // Eight installer lengths in a row move the unpadded end by one byte each
  // (the manifest's numbers keep their width), so each padding from 0 to 7
  // must turn up once.
  std::set<uint64_t> paddings;
  for (size_t extra = 0; extra < 8; ++extra) {
    SCOPED_TRACE(extra);
    files_.set_installer(test::make_pe_image({.image_bytes = 1024 + extra}));
    const PackRun r = run(plus(files_.bundle_args(), {"--force"}));
    ASSERT_EQ(r.code, kExitSuccess) << r.err;
    expect_packed_layout(files_, read_bytes(files_.output_path));
    paddings.insert(Json::parse(r.out).at("padding").get<uint64_t>());
  }
  EXPECT_EQ(paddings, (std::set<uint64_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(BundleTest, CopiesPayloadsLargerThanOneCopyPiece) {
  files_.set_main_program(program(kPayloadChunkBytes * 2 + 123, 7));
  files_.set_startup_helper(program(kPayloadChunkBytes + 1, 9));
  const PackRun r = run(files_.bundle_args());
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  expect_packed_layout(files_, read_bytes(files_.output_path));
}

TEST_F(BundleTest, AcceptsSignedPayloadPrograms) {
  // The programs inside are signed in a real release; only the installer
  // must not be.
  files_.set_main_program(
      test::make_pe_image({.security_offset = 1000, .security_size = 24, .image_bytes = 1024}));
  const PackRun r = run(files_.bundle_args());
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  expect_packed_layout(files_, read_bytes(files_.output_path));
}

TEST_F(BundleTest, RefusesToOverwriteAnExistingOutput) {
  test::write_file(files_.output_path, "an older release");
  const PackRun r = run(files_.bundle_args());
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.err, "the output '" + files_.output_path + "' exists; pass --force to replace it\n");
  EXPECT_EQ(test::read_file(files_.output_path), "an older release");
  EXPECT_FALSE(path_exists(files_.temporary_path()));
}

TEST_F(BundleTest, ForceReplacesAnExistingOutputAndAStaleTemporaryFile) {
  test::write_file(files_.output_path, "an older release");
  test::write_file(files_.temporary_path(), "left by a killed run");
  const PackRun r = run(plus(files_.bundle_args(), {"--force"}));
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  expect_packed_layout(files_, read_bytes(files_.output_path));
  EXPECT_FALSE(path_exists(files_.temporary_path()));
}

// The one line a failure prints: `text` exactly, or for a file that does not
// exist `text`, ": " and the system's text for the error, which differs
// between the backends but not its number (2 on both).
struct ExpectedLine {
  // Implicit, so that a table row can give a plain string.
  ExpectedLine(std::string line) : text(std::move(line)) {}
  std::string text;
  bool file_not_found = false;
};

ExpectedLine file_not_found(std::string text) {
  ExpectedLine line(std::move(text));
  line.file_not_found = true;
  return line;
}

void expect_failure_line(const std::string& err, const ExpectedLine& line) {
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  if (!line.file_not_found) {
    EXPECT_EQ(err, line.text + "\n");
    return;
  }
  EXPECT_TRUE(err.starts_with(line.text + ": ")) << err;
  EXPECT_TRUE(err.ends_with(" (os error 2)\n")) << err;
}

// A refused pack: how the inputs are spoilt and the line on stderr that
// must say so.
struct RefusalCase {
  const char* name;
  std::function<void(PackFiles&)> spoil;
  std::function<ExpectedLine(const PackFiles&)> message;
};

// The reader's own words for installers it cannot walk.
std::string reader_message(const Bytes& file) {
  MemoryBundleSource source(file);
  return find_signature_offset(source, file.size()).error();
}

Bytes not_a_program() {
  return test::bytes_of(std::string(200, 'x'));
}

// A certificate table said to run past the end of the file.
Bytes bad_signature_range() {
  return test::make_pe_image({.security_offset = 1020, .security_size = 8, .image_bytes = 1024});
}

std::string not_mz(const std::string& role, const std::string& path) {
  return "the " + role + " '" + path + "' does not start with \"MZ\"; it is not a Windows program";
}

std::string bad_version(const std::string& version, const std::string& option = "--version") {
  return "invalid " + option + " '" + version +
         "': expected MAJOR.MINOR.PATCH, each 0-65535 without leading zeros";
}

class BundleRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(BundleRefusalTest, FailsWithOneLineAndLeavesNoOutput) {
  PackFiles files;
  GetParam().spoil(files);
  const bool stale_temporary = path_exists(files.temporary_path());
  const PackRun r = run(files.bundle_args());
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_TRUE(r.out.empty()) << r.out;
  expect_failure_line(r.err, GetParam().message(files));
  EXPECT_FALSE(path_exists(files.output_path));
  EXPECT_EQ(path_exists(files.temporary_path()), stale_temporary);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    BundleRefusalTest,
    testing::Values(
        RefusalCase{"SignedInstaller",
                    [](PackFiles& f) {
                      f.set_installer(test::make_pe_image(
                          {.security_offset = 1016, .security_size = 8, .image_bytes = 1024}));
                    },
                    [](const PackFiles& f) {
                      return "the installer '" + f.installer_path +
                             "' is already signed; pack the unsigned installer, then sign the "
                             "packed output";
                    }},
        RefusalCase{"InstallerWithBadSignatureRange",
                    [](PackFiles& f) { f.set_installer(bad_signature_range()); },
                    [](const PackFiles& f) {
                      return "the installer '" + f.installer_path +
                             "' is not a Windows program the assistant can read: " +
                             reader_message(bad_signature_range());
                    }},
        RefusalCase{"InstallerIsNoProgram", [](PackFiles& f) { f.set_installer(not_a_program()); },
                    [](const PackFiles& f) {
                      return "the installer '" + f.installer_path +
                             "' is not a Windows program the assistant can read: " +
                             reader_message(not_a_program());
                    }},
        RefusalCase{"InstallerAlreadyBundled",
                    [](PackFiles& f) { f.set_installer(test::build_bundle({}).file); },
                    [](const PackFiles& f) {
                      return "the installer '" + f.installer_path +
                             "' already carries an update bundle; pack the original installer";
                    }},
        RefusalCase{"MissingInstaller",
                    [](PackFiles& f) { ASSERT_TRUE(remove_file(f.installer_path)); },
                    [](const PackFiles& f) {
                      return file_not_found("cannot open the installer '" + f.installer_path + "'");
                    }},
        RefusalCase{"MainProgramWithoutMz",
                    [](PackFiles& f) { f.set_main_program(test::bytes_of("PK\x03\x04 zip")); },
                    [](const PackFiles& f) { return not_mz("main program", f.main_path); }},
        RefusalCase{"MainProgramOfOneByte",
                    [](PackFiles& f) { f.set_main_program(test::bytes_of("M")); },
                    [](const PackFiles& f) { return not_mz("main program", f.main_path); }},
        RefusalCase{"StartupHelperWithoutMz",
                    [](PackFiles& f) { f.set_startup_helper(test::bytes_of("#!/bin/sh")); },
                    [](const PackFiles& f) { return not_mz("startup helper", f.helper_path); }},
        RefusalCase{"EmptyStartupHelper", [](PackFiles& f) { f.set_startup_helper({}); },
                    [](const PackFiles& f) {
                      return "the startup helper '" + f.helper_path + "' is empty";
                    }},
        RefusalCase{
            "MissingStartupHelper", [](PackFiles& f) { ASSERT_TRUE(remove_file(f.helper_path)); },
            [](const PackFiles& f) {
              return file_not_found("cannot open the startup helper '" + f.helper_path + "'");
            }},
        RefusalCase{"VersionWithLeadingZero", [](PackFiles& f) { f.version = "1.02.3"; },
                    [](const PackFiles&) { return bad_version("1.02.3"); }},
        RefusalCase{"VersionWithSuffix", [](PackFiles& f) { f.version = "1.2.3-beta"; },
                    [](const PackFiles&) { return bad_version("1.2.3-beta"); }},
        RefusalCase{"StaleTemporaryFile",
                    [](PackFiles& f) { test::write_file(f.temporary_path(), "killed run"); },
                    [](const PackFiles& f) {
                      return "the temporary file '" + f.temporary_path() +
                             "' exists, left by an interrupted run; delete it or pass --force";
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// A packed release, and the policy that offers it.
class PolicyTest : public testing::Test {
 protected:
  void SetUp() override {
    const PackRun r = run(files_.bundle_args());
    ASSERT_EQ(r.code, kExitSuccess) << r.err;
    served_ = read_bytes(files_.output_path);
  }

  std::vector<std::string> policy_args(const std::vector<std::string>& more = {}) const {
    return plus({"policy", "--installer", files_.output_path, "--version", kVersion, "--base-url",
                 kBaseUrl},
                more);
  }

  PackFiles files_;
  Bytes served_;
};

struct PolicyCase {
  const char* name;
  std::vector<std::string> options;
  std::string base_url;
  std::string min_supported;
  bool has_size;
  bool lower_case;
};

class PolicyOutputTest : public PolicyTest, public testing::WithParamInterface<PolicyCase> {};

TEST_P(PolicyOutputTest, IsAcceptedByTheAssistantsPolicyReader) {
  const PolicyCase& c = GetParam();
  const PackRun r = run(plus({"policy", "--installer", files_.output_path, "--version", kVersion,
                              "--base-url", c.base_url},
                             c.options));
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  ASSERT_TRUE(r.out.ends_with('\n'));
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;

  const Result<BootstrapPolicy> policy = parse_bootstrap_policy(r.out);
  ASSERT_TRUE(policy) << policy.error();
  const std::string digest = test::sha256_hex(served_);
  std::string lower = digest;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char ch) { return static_cast<char>(std::tolower(ch)); });
  EXPECT_EQ(policy->current_version, "0.0.0");
  EXPECT_EQ(policy->min_supported_version, c.min_supported);
  EXPECT_EQ(policy->latest_version, kVersion);
  EXPECT_EQ(policy->download_url, std::string(kBaseUrl) + std::string(kInstallerPathPrefix) +
                                      installer_file_name(kVersion));
  EXPECT_EQ(policy->update_sha256, c.lower_case ? lower : digest);
  EXPECT_EQ(policy->installer_bytes,
            c.has_size ? std::optional<uint64_t>(served_.size()) : std::nullopt);
  EXPECT_EQ(policy->target, "windows");
  EXPECT_EQ(policy->arch, "x86_64");

  std::vector<std::string> probed;
  const InstallerSizeProbe probe = [&](const std::string& url) -> Result<uint64_t> {
    probed.push_back(url);
    return served_.size();
  };
  const Result<VerifiedRelease> release = validate_bootstrap_policy(*policy, probe);
  ASSERT_TRUE(release) << release.error();
  EXPECT_EQ(release->sha256, digest);
  EXPECT_EQ(release->installer_bytes, served_.size());
  EXPECT_EQ(probed, c.has_size ? std::vector<std::string>{}
                               : std::vector<std::string>{policy->download_url});
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    PolicyOutputTest,
    testing::Values(
        PolicyCase{"Defaults", {}, kBaseUrl, kVersion, true, false},
        PolicyCase{"OmitSize", {"--omit-size"}, kBaseUrl, kVersion, false, false},
        PolicyCase{"LowerCaseDigest", {"--lower-case-digest"}, kBaseUrl, kVersion, true, true},
        PolicyCase{"OlderMinimum", {"--min-supported", "1.0.9"}, kBaseUrl, "1.0.9", true, false},
        PolicyCase{"BaseUrlWithTrailingSlash",
                   {},
                   std::string(kBaseUrl) + "/",
                   kVersion,
                   true,
                   false},
        PolicyCase{"Everything",
                   {"--min-supported", "0.9.0", "--omit-size", "--lower-case-digest"},
                   kBaseUrl,
                   "0.9.0",
                   false,
                   true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PolicyTest, OffersASignedInstallerAsServed) {
  // Signing appends the certificate table; the policy must describe the
  // signed file, which is what users download.
  const test::BuiltBundle signed_bundle =
      test::build_bundle({.version = kVersion, .certificate_bytes = 48});
  const std::string path = files_.dir.join("signed.exe");
  test::write_file(path, text_of(signed_bundle.file));
  const PackRun r =
      run({"policy", "--installer", path, "--version", kVersion, "--base-url", kBaseUrl});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const Result<BootstrapPolicy> policy = parse_bootstrap_policy(r.out);
  ASSERT_TRUE(policy) << policy.error();
  EXPECT_EQ(policy->installer_bytes, signed_bundle.file.size());
  EXPECT_EQ(policy->update_sha256, test::sha256_hex(signed_bundle.file));
}

TEST_F(PolicyTest, WritesTheSameDocumentToAFileOnlyOnce) {
  const std::string printed = run(policy_args()).out;
  const std::string path = files_.dir.join("bootstrap-policy.json");

  const PackRun written = run(policy_args({"-o", path}));
  ASSERT_EQ(written.code, kExitSuccess) << written.err;
  EXPECT_TRUE(written.out.empty());
  EXPECT_EQ(test::read_file(path), printed);

  const PackRun again = run(policy_args({"-o", path, "--omit-size"}));
  EXPECT_EQ(again.code, kExitFailure);
  EXPECT_EQ(again.err, "the output '" + path + "' exists; pass --force to replace it\n");
  EXPECT_EQ(test::read_file(path), printed);

  const PackRun forced = run(policy_args({"-o", path, "--omit-size", "--force"}));
  ASSERT_EQ(forced.code, kExitSuccess) << forced.err;
  EXPECT_EQ(test::read_file(path), run(policy_args({"--omit-size"})).out);
  EXPECT_FALSE(path_exists(path + kTemporarySuffix));
}

struct PolicyRefusalCase {
  const char* name;
  std::vector<std::string> options;  // replace those of policy_args()
  std::string installer;             // empty: the packed output
  std::function<ExpectedLine(const std::string& installer, const Bytes& served)> message;
};

class PolicyRefusalTest : public PolicyTest,
                          public testing::WithParamInterface<PolicyRefusalCase> {};

TEST_P(PolicyRefusalTest, FailsWithOneLine) {
  const PolicyRefusalCase& c = GetParam();
  const std::string installer =
      c.installer.empty() ? files_.output_path : files_.dir.join(c.installer);
  const PackRun r = run(plus({"policy", "--installer", installer}, c.options));
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_TRUE(r.out.empty()) << r.out;
  expect_failure_line(r.err, c.message(installer, served_));
}

std::string refused_url(const std::string& base) {
  const std::string url = base + std::string(kInstallerPathPrefix) + installer_file_name(kVersion);
  return "the assistant would refuse the download address '" + url +
         "': " + validate_installer_url(url, kVersion).error();
}

std::string bad_base(const std::string& base) {
  return "--base-url must be https://HOST without a path, got '" + base + "'";
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    PolicyRefusalTest,
    testing::Values(
        PolicyRefusalCase{"OtherVersion",
                          {"--version", "1.2.4", "--base-url", kBaseUrl},
                          "",
                          [](const std::string& installer, const Bytes& served) {
                            return "the installer '" + installer +
                                   "' does not verify as release 1.2.4: " +
                                   read_bundle(served, "1.2.4").error();
                          }},
        PolicyRefusalCase{
            "UnbundledInstaller",
            {"--version", kVersion, "--base-url", kBaseUrl},
            "安装程序-Setup.exe",
            [](const std::string& installer, const Bytes&) {
              return "the installer '" + installer + "' does not verify as release 1.2.3: " +
                     read_bundle(test::make_pe_image({.image_bytes = 1024}), kVersion).error();
            }},
        PolicyRefusalCase{"MissingInstaller",
                          {"--version", kVersion, "--base-url", kBaseUrl},
                          "missing.exe",
                          [](const std::string& installer, const Bytes&) {
                            return file_not_found("cannot open the installer '" + installer + "'");
                          }},
        PolicyRefusalCase{"PlainHttp",
                          {"--version", kVersion, "--base-url", "http://downloads.example.com"},
                          "",
                          [](const std::string&, const Bytes&) {
                            return bad_base("http://downloads.example.com");
                          }},
        PolicyRefusalCase{"BaseUrlWithPath",
                          {"--version", kVersion, "--base-url", "https://example.com/releases"},
                          "",
                          [](const std::string&, const Bytes&) {
                            return bad_base("https://example.com/releases");
                          }},
        PolicyRefusalCase{"BaseUrlWithoutHost",
                          {"--version", kVersion, "--base-url", "https://"},
                          "",
                          [](const std::string&, const Bytes&) { return bad_base("https://"); }},
        PolicyRefusalCase{"BaseUrlWithOtherPort",
                          {"--version", kVersion, "--base-url", "https://example.com:8443"},
                          "",
                          [](const std::string&, const Bytes&) {
                            return refused_url("https://example.com:8443");
                          }},
        PolicyRefusalCase{
            "MinimumNewerThanRelease",
            {"--version", kVersion, "--base-url", kBaseUrl, "--min-supported", "1.10.0"},
            "",
            [](const std::string&, const Bytes&) {
              return std::string("--min-supported 1.10.0 is newer than --version ") + kVersion;
            }},
        PolicyRefusalCase{
            "InvalidMinimum",
            {"--version", kVersion, "--base-url", kBaseUrl, "--min-supported", "1.2"},
            "",
            [](const std::string&, const Bytes&) { return bad_version("1.2", "--min-supported"); }},
        PolicyRefusalCase{"InvalidVersion",
                          {"--version", "v1.2.3", "--base-url", kBaseUrl},
                          "",
                          [](const std::string&, const Bytes&) { return bad_version("v1.2.3"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Layouts made by the test's own builder, so inspect is checked against
// offsets the packer never computed, signed ones included.
struct InspectCase {
  const char* name;
  std::function<test::BuiltBundle()> build;
};

class InspectTest : public testing::TestWithParam<InspectCase> {
 protected:
  test::TempDir dir_{"velmo-pack-inspect"};
};

TEST_P(InspectTest, PrintsTheLayoutTheBuilderMade) {
  const test::BuiltBundle built = GetParam().build();
  const std::string path = dir_.join("安装包.exe");
  test::write_file(path, text_of(built.file));

  const PackRun r = run({"inspect", path});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  const Json expected = {
      {"path", path},
      {"bytes", built.file.size()},
      {"signed", built.search_end < built.file.size()},
      {"searchEnd", built.search_end},
      {"headerOffset", built.header_offset},
      {"manifestOffset", built.manifest_offset},
      {"manifestBytes", built.header_offset - built.manifest_offset},
      {"padding", built.search_end - built.header_offset - kBundleHeaderBytes},
      {"manifest", Json::parse(serialize_bundle_manifest(built.manifest))},
  };
  EXPECT_EQ(Json::parse(r.out), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    InspectTest,
    testing::Values(
        InspectCase{"Unsigned", [] { return test::build_bundle({}); }},
        InspectCase{"UnsignedWithPadding", [] { return test::build_bundle({.pad = 5}); }},
        InspectCase{"SignedWithoutPadding",
                    [] { return test::build_bundle({.certificate_bytes = 200}); }},
        InspectCase{"SignedWithPadding",
                    [] { return test::build_bundle({.pad = 3, .certificate_bytes = 64}); }},
        InspectCase{"OtherVersion",
                    [] { return test::build_bundle({.version = "65535.0.1", .pad = 7}); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BundleTest, InspectReportsWhatBundleReported) {
  const PackRun packed = run(files_.bundle_args());
  ASSERT_EQ(packed.code, kExitSuccess) << packed.err;
  const PackRun inspected = run({"inspect", files_.output_path});
  ASSERT_EQ(inspected.code, kExitSuccess) << inspected.err;
  Json summary = Json::parse(packed.out);
  summary.erase("sha256");
  EXPECT_EQ(Json::parse(inspected.out), summary);
}

// Files the assistant refuses: inspect must print the assistant's own
// message, unchanged.
struct InspectRefusalCase {
  const char* name;
  std::function<Bytes()> file;
};

class InspectRefusalTest : public testing::TestWithParam<InspectRefusalCase> {
 protected:
  test::TempDir dir_{"velmo-pack-inspect"};
};

TEST_P(InspectRefusalTest, PrintsTheAssistantsMessage) {
  const Bytes file = GetParam().file();
  const Result<VerifiedBundle> verdict = read_bundle(file, std::nullopt);
  ASSERT_FALSE(verdict);
  const std::string path = dir_.join("安装包.exe");
  test::write_file(path, text_of(file));

  const PackRun r = run({"inspect", path});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(r.err, verdict.error() + "\n");
}

Bytes corrupted_payload() {
  test::BuiltBundle built = test::build_bundle({});
  built.file[built.manifest.startup_helper.offset + 3] ^= std::byte{1};
  return built.file;
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    InspectRefusalTest,
    testing::Values(
        InspectRefusalCase{"PlainInstaller",
                           [] { return test::make_pe_image({.image_bytes = 1024}); }},
        InspectRefusalCase{"NotAProgram", [] { return test::bytes_of(std::string(300, 'x')); }},
        InspectRefusalCase{
            "ManifestDigestWrong",
            [] { return test::build_bundle({.corrupt_manifest_digest = true}).file; }},
        InspectRefusalCase{"OtherProduct",
                           [] { return test::build_bundle({.product = "VelmoQen"}).file; }},
        InspectRefusalCase{"PayloadChanged", corrupted_payload}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InspectMissingFileTest, SaysWhichFileCannotBeOpened) {
  test::TempDir dir("velmo-pack-inspect");
  const std::string path = dir.join("missing.exe");
  const PackRun r = run({"inspect", path});
  EXPECT_EQ(r.code, kExitFailure);
  expect_failure_line(r.err, file_not_found("cannot open '" + path + "'"));
}

// What happens to the temporary file and the output for each way a pending
// output can end.
struct PendingCase {
  const char* name;
  std::optional<std::string> existing;  // the output before
  bool replace;
  bool commit;
  std::optional<std::string> after;  // the output after
};

class PendingOutputTest : public testing::TestWithParam<PendingCase> {
 protected:
  test::TempDir dir_{"velmo-pack-output"};
};

TEST_P(PendingOutputTest, RenamesOnlyOnCommitAndNeverLeavesTheTemporaryFile) {
  const PendingCase& c = GetParam();
  const std::string path = dir_.join("输出.exe");
  if (c.existing) {
    test::write_file(path, *c.existing);
  }
  {
    Result<PendingOutput> output = PendingOutput::create(path, c.replace);
    ASSERT_TRUE(output) << output.error();
    EXPECT_EQ(output->temporary_path(), path + kTemporarySuffix);
    ASSERT_TRUE(output->file().write_all(std::as_bytes(std::span(std::string_view("new")))));
    ASSERT_TRUE(output->finish_writing());
    EXPECT_EQ(path_exists(path), c.existing.has_value());
    if (c.commit) {
      ASSERT_TRUE(output->commit());
    }
  }
  EXPECT_FALSE(path_exists(path + kTemporarySuffix));
  EXPECT_EQ(path_exists(path), c.after.has_value());
  if (c.after) {
    EXPECT_EQ(test::read_file(path), *c.after);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    PendingOutputTest,
    testing::Values(PendingCase{"CommittedNew", std::nullopt, false, true, "new"},
                    PendingCase{"DroppedNew", std::nullopt, false, false, std::nullopt},
                    PendingCase{"CommittedOverExisting", "old", true, true, "new"},
                    PendingCase{"DroppedOverExisting", "old", true, false, "old"}),
    [](const auto& info) { return std::string(info.param.name); });

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

class PackUsageTest : public testing::TestWithParam<UsageCase> {};

TEST_P(PackUsageTest, ExitsWithUsage) {
  const PackRun r = run(GetParam().args);
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_TRUE(r.out.empty());
  EXPECT_TRUE(r.err.starts_with("usage: velmo-pack")) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    PackUsageTest,
    testing::Values(UsageCase{"NoCommand", {}},
                    UsageCase{"UnknownCommand", {"sign"}},
                    UsageCase{"BundleWithoutOutput",
                              {"bundle", "--installer", "a", "--main-program", "b",
                               "--startup-helper", "c", "--version", "1.0.0"}},
                    UsageCase{"BundleWithRepeatedOption",
                              {"bundle", "--installer", "a", "--installer", "a", "--main-program",
                               "b", "--startup-helper", "c", "--version", "1.0.0", "-o", "d"}},
                    UsageCase{"BundleWithUnknownOption",
                              {"bundle", "--installer", "a", "--main-program", "b",
                               "--startup-helper", "c", "--version", "1.0.0", "-o", "d", "--sign"}},
                    UsageCase{"BundleWithStrayFile",
                              {"bundle", "--installer", "a", "--main-program", "b",
                               "--startup-helper", "c", "--version", "1.0.0", "-o", "d", "e"}},
                    UsageCase{"BundleOptionWithoutValue",
                              {"bundle", "--installer", "a", "--main-program", "b",
                               "--startup-helper", "c", "-o", "d", "--version"}},
                    UsageCase{"PolicyWithoutBaseUrl",
                              {"policy", "--installer", "a", "--version", "1.0.0"}},
                    UsageCase{"PolicyForceWithoutOutput",
                              {"policy", "--installer", "a", "--version", "1.0.0", "--base-url",
                               "https://x", "--force"}},
                    UsageCase{"InspectWithoutFile", {"inspect"}},
                    UsageCase{"InspectWithTwoFiles", {"inspect", "a", "b"}},
                    UsageCase{"InspectWithOption", {"inspect", "--verbose", "a"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo::pack
