// The least a Windows program has to do to fetch a file over HTTPS with
// WinHTTP, save it and know its SHA-256: the peer the downloader's
// benchmark measures against, run the same way under Wine. It makes no
// checks beyond what the job needs and shares no code with the assistant.
//
//   winhttp_download_reference HOST PORT PATH OUTPUT [--no-write]
//
// Reads fill 1 MiB buffers; a full buffer is written and handed to a second
// thread that hashes it with BCrypt while the next one is received. Prints
// the digest as 64 upper-case hexadecimal digits. --no-write leaves out the
// file.
#include <windows.h>

#include <bcrypt.h>
#include <winhttp.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kBufferBytes = 1048576;
constexpr size_t kBufferCount = 4;

struct Buffer {
  std::vector<unsigned char> bytes = std::vector<unsigned char>(kBufferBytes);
  DWORD used = 0;
};

// Buffers go from the receiving thread to the hashing thread and back.
class HandOver {
 public:
  HandOver() {
    for (size_t i = 0; i < buffers_.size(); ++i) {
      free_.push_back(i);
    }
  }
  Buffer& buffer(size_t index) { return buffers_[index]; }
  size_t take_free() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    const size_t index = free_.front();
    free_.pop_front();
    return index;
  }
  void put_full(size_t index) {
    std::lock_guard lock(mutex_);
    full_.push_back(index);
    changed_.notify_all();
  }
  void end() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }
  // The next full buffer, or false once the end was announced and all are done.
  bool take_full(size_t& index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !full_.empty() || ended_; });
    if (full_.empty()) {
      return false;
    }
    index = full_.front();
    full_.pop_front();
    return true;
  }
  void put_free(size_t index) {
    std::lock_guard lock(mutex_);
    free_.push_back(index);
    changed_.notify_all();
  }

 private:
  std::vector<Buffer> buffers_ = std::vector<Buffer>(kBufferCount);
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<size_t> free_;
  std::deque<size_t> full_;
  bool ended_ = false;
};

std::wstring widen(const char* text) {
  std::wstring wide;
  for (const char* c = text; *c != '\0'; ++c) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  }
  return wide;
}

int fail(const char* what) {
  std::fprintf(stderr, "%s failed: %lu\n", what, GetLastError());
  return 1;
}

// Hashes every full buffer until the end; the digest goes to `digest`.
bool hash_buffers(HandOver& hand_over, unsigned char (&digest)[32]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
    return false;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0) {
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return false;
  }
  bool ok = true;
  size_t index = 0;
  while (hand_over.take_full(index)) {
    Buffer& buffer = hand_over.buffer(index);
    ok = ok && BCryptHashData(hash, buffer.bytes.data(), buffer.used, 0) == 0;
    hand_over.put_free(index);
  }
  ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
  BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: winhttp_download_reference HOST PORT PATH OUTPUT [--no-write]\n");
    return 2;
  }
  const bool write = !(argc > 5 && std::strcmp(argv[5], "--no-write") == 0);
  HINTERNET session = WinHttpOpen(L"reference", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (session == nullptr) {
    return fail("WinHttpOpen");
  }
  DWORD protocols = 0xA80;
  WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  HINTERNET connection = WinHttpConnect(session, widen(argv[1]).c_str(),
                                        static_cast<INTERNET_PORT>(std::atoi(argv[2])), 0);
  if (connection == nullptr) {
    return fail("WinHttpConnect");
  }
  HINTERNET request =
      WinHttpOpenRequest(connection, L"GET", widen(argv[3]).c_str(), nullptr, WINHTTP_NO_REFERER,
                         WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  if (request == nullptr) {
    return fail("WinHttpOpenRequest");
  }
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                          0) ||
      !WinHttpReceiveResponse(request, nullptr)) {
    return fail("request");
  }
  HANDLE output = INVALID_HANDLE_VALUE;
  if (write) {
    output = CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (output == INVALID_HANDLE_VALUE) {
      return fail("CreateFile");
    }
  }

  HandOver hand_over;
  unsigned char digest[32] = {};
  bool hashed = false;
  std::thread hasher([&] { hashed = hash_buffers(hand_over, digest); });
  bool received = true;
  bool more = true;
  while (more) {
    const size_t index = hand_over.take_free();
    Buffer& buffer = hand_over.buffer(index);
    buffer.used = 0;
    while (buffer.used < kBufferBytes) {
      DWORD got = 0;
      if (!WinHttpReadData(request, buffer.bytes.data() + buffer.used, kBufferBytes - buffer.used,
                           &got)) {
        received = false;
      }
      if (got == 0) {
        more = false;
        break;
      }
      buffer.used += got;
    }
    DWORD written = 0;
    if (write && buffer.used > 0 &&
        (!WriteFile(output, buffer.bytes.data(), buffer.used, &written, nullptr) ||
         written != buffer.used)) {
      received = false;
      more = false;
    }
    hand_over.put_full(index);
  }
  hand_over.end();
  hasher.join();
  if (output != INVALID_HANDLE_VALUE) {
    CloseHandle(output);
  }
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(session);
  if (!received || !hashed) {
    return fail("download");
  }
  for (unsigned char byte : digest) {
    std::printf("%02X", byte);
  }
  std::printf("\n");
  return 0;
}
