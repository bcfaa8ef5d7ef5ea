#include "product_install/install_source.h"

#include "environment/data_directory.h"
#include "network/sha256_file.h"
#include "platform/ascii.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "product_install/bundle_reader.h"
#include "product_install/payload_cache.h"
#include "product_install/plain_file_checks.h"

namespace velmo {

namespace {

constexpr char kInstallerLabel[] = "更新数据包";
constexpr char kSizeMismatch[] = "更新数据包长度与服务器策略不一致，已停止更新。";
constexpr char kDigestMismatch[] = "更新数据包 SHA-256 与服务器策略不一致，已停止更新。";
constexpr char kSourceMismatch[] = "待安装的受保护主程序校验失败，已停止安装。";

// The installer as a whole against the release: size and digest, read
// through the handle every later step reads. That handle lets nobody write
// or delete the file while it is open, so the bundle read afterwards is the
// one that was proven, not a trailer rewritten since.
Status verify_installer_file(File& file, const VerifiedRelease& release) {
  const OsResult<uint64_t> size = file.size();
  if (!size) {
    return fail(phrase_with_error("读取更新数据包大小失败", size.error()));
  }
  if (*size != release.installer_bytes) {
    return fail(kSizeMismatch);
  }
  const Result<std::string> digest = hash_open_file(file);
  if (!digest) {
    return fail(digest.error());
  }
  if (!is_sha256_text(release.sha256) || !digests_equal(*digest, release.sha256)) {
    return fail(kDigestMismatch);
  }
  return ok();
}

// The copy that will be installed, checked once more from the disk.
Status verify_install_source(const InstallSource& source) {
  if (!is_plain_file(source.path)) {
    return fail(kSourceMismatch);
  }
  const OsResult<uint64_t> size = file_size(source.path);
  if (!size || *size != source.bytes) {
    return fail(kSourceMismatch);
  }
  const Result<std::string> digest = sha256_file(source.path);
  if (!digest) {
    return fail(digest.error());
  }
  if (!digests_equal(*digest, source.sha256)) {
    return fail(kSourceMismatch);
  }
  return ok();
}

}  // namespace

std::string main_program_cache_path(const std::string& download_directory,
                                    std::string_view version) {
  return path_join(path_join(download_directory, "embedded-core"),
                   "VelmoQenWorkbench-Core-v" + std::string(version) + ".exe");
}

Result<InstallSource> prepare_install_source(const std::string& installer_path,
                                             const VerifiedRelease& release) {
  const Result<std::string> downloads = download_directory();
  if (!downloads) {
    return fail(downloads.error());
  }
  const std::string cache_path = main_program_cache_path(*downloads, release.latest_version);
  if (Status plain = check_plain_file(installer_path, kInstallerLabel); !plain) {
    return fail(plain.error());
  }
  OsResult<File> file = File::open_for_read_locked(installer_path);
  if (!file) {
    return fail(phrase_with_error("打开更新数据包失败", file.error()));
  }
  if (Status verified = verify_installer_file(*file, release); !verified) {
    return fail(verified.error());
  }
  FileBundleSource source(*file);
  const Result<VerifiedBundle> bundle = read_verified_bundle(
      source, release.installer_bytes, release.latest_version, MainProgramProof::kWhileCopying);
  if (!bundle) {
    return fail(bundle.error());
  }
  const BundlePayload& main_program = bundle->manifest.main_program;
  CacheFill fill = CacheFill::kCopied;
  if (Status extracted =
          extract_payload_to_cache(source, main_program, kMainProgramLabel, cache_path, &fill);
      !extracted) {
    return fail(extracted.error());
  }
  // A cache kept from an earlier run spared the copy, and with it the proof
  // of this installer's main program, which is taken on its own then.
  if (fill == CacheFill::kReused) {
    if (Status verified =
            verify_bundle_payload(source, main_program, kMainProgramLabel, bundle->manifest_offset);
        !verified) {
      return fail(verified.error());
    }
  }
  InstallSource install_source{.path = cache_path,
                               .sha256 = to_ascii_upper(main_program.sha256),
                               .bytes = main_program.bytes,
                               .source = kInstallSourceLabel};
  if (Status verified = verify_install_source(install_source); !verified) {
    return fail(verified.error());
  }
  return install_source;
}

Result<InstallSource> prepare_install_source(const std::string& installer_path) {
  const Result<VerifiedRelease> release = load_release();
  if (!release) {
    return fail(release.error());
  }
  return prepare_install_source(installer_path, *release);
}

}  // namespace velmo
