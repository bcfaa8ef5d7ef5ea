// Makes the Wine prefix trust the network bench's throwaway test CA.
//
//   velmo_add_root_cert.exe CERT.der           adds it to the ROOT store
//   velmo_add_root_cert.exe --check CERT.der   exit 0 if ROOT has it, 1 if not
//
// WinHTTP accepts the bench's HTTPS server only when its CA is a trusted
// root; adding the same certificate again changes nothing and succeeds. A
// path starting with "/" is a Linux path. Other failures exit 2.
#include <windows.h>

#include <wincrypt.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_resource.h"
#include "platform/win/handles.h"
#include "windows_args.h"

namespace {

constexpr int kNotTrusted = 1;
constexpr int kFailure = 2;

struct CertStoreTraits {
  using Type = HCERTSTORE;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::CertCloseStore(h, 0); }
};
using UniqueCertStore = velmo::UniqueResource<CertStoreTraits>;

struct CertContextTraits {
  using Type = PCCERT_CONTEXT;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::CertFreeCertificateContext(h); }
};
using UniqueCertContext = velmo::UniqueResource<CertContextTraits>;

int report(std::wstring_view what) {
  velmo::test::write_utf8(STD_ERROR_HANDLE, L"velmo_add_root_cert: " + std::wstring(what) +
                                                L", error " + std::to_wstring(::GetLastError()) +
                                                L"\n");
  return kFailure;
}

bool read_file(const std::wstring& path, std::vector<BYTE>& data) {
  velmo::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return false;
  }
  LARGE_INTEGER size{};
  // A certificate is a few KiB; anything near 1 MiB is not one.
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 1048576) {
    ::SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  data.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return ::ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr) &&
         got == data.size();
}

int check(const std::vector<BYTE>& der) {
  UniqueCertContext wanted(::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                          static_cast<DWORD>(der.size())));
  if (!wanted) {
    return report(L"not a DER certificate");
  }
  UniqueCertStore root(::CertOpenSystemStoreW(0, L"ROOT"));
  if (!root) {
    return report(L"cannot open the ROOT store");
  }
  UniqueCertContext found(::CertFindCertificateInStore(root.get(), X509_ASN_ENCODING, 0,
                                                       CERT_FIND_EXISTING, wanted.get(), nullptr));
  return found ? 0 : kNotTrusted;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool checking = argc == 3 && std::wstring_view(argv[1]) == L"--check";
  if (argc != 2 && !checking) {
    velmo::test::write_utf8(STD_ERROR_HANDLE,
                            L"usage: velmo_add_root_cert.exe [--check] CERT.der\n");
    return kFailure;
  }
  const std::wstring path = velmo::test::to_windows_path(argv[argc - 1]);
  std::vector<BYTE> der;
  if (!read_file(path, der)) {
    return report(L"cannot read " + path);
  }
  if (checking) {
    return check(der);
  }
  if (!::CertAddEncodedCertificateToSystemStoreW(L"ROOT", der.data(),
                                                 static_cast<DWORD>(der.size()))) {
    return report(L"cannot add " + path + L" to the ROOT store");
  }
  return 0;
}
