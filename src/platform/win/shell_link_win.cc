#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/shell_link.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

std::unexpected<ShellLinkFailure> failed(ShellLinkStep step, HRESULT result) {
  return std::unexpected(ShellLinkFailure{step, static_cast<uint32_t>(result)});
}

ShellLinkStatus set_fields(IShellLinkW& link, const ShellLinkFields& fields) {
  if (const HRESULT hr = link.SetPath(to_wide(fields.target).c_str()); FAILED(hr)) {
    return failed(ShellLinkStep::kSetTarget, hr);
  }
  if (const HRESULT hr = link.SetArguments(to_wide(fields.arguments).c_str()); FAILED(hr)) {
    return failed(ShellLinkStep::kSetArguments, hr);
  }
  if (const HRESULT hr = link.SetWorkingDirectory(to_wide(fields.working_directory).c_str());
      FAILED(hr)) {
    return failed(ShellLinkStep::kSetWorkingDirectory, hr);
  }
  if (const HRESULT hr = link.SetIconLocation(to_wide(fields.icon_path).c_str(), fields.icon_index);
      FAILED(hr)) {
    return failed(ShellLinkStep::kSetIcon, hr);
  }
  return {};
}

}  // namespace

ShellLinkStatus save_shell_link(const ShellLinkFields& fields, const std::string& link_path) {
  // Declared first so both interfaces below are released before COM is
  // uninitialised.
  const ScopedComApartment apartment(COINIT_APARTMENTTHREADED);
  if (!apartment.succeeded()) {
    return failed(ShellLinkStep::kInitializeCom, apartment.result());
  }
  ComPtr<IShellLinkW> link;
  const HRESULT created = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IShellLinkW, link.put_void());
  if (FAILED(created) || !link) {
    return failed(ShellLinkStep::kCreateObject, created);
  }
  if (ShellLinkStatus set = set_fields(*link.get(), fields); !set) {
    return set;
  }
  ComPtr<IPersistFile> file;
  const HRESULT queried = link->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(queried) || !file) {
    return failed(ShellLinkStep::kQuerySaveInterface, queried);
  }
  // fRemember: the object takes the saved file as its own, as the shell's
  // own "create shortcut" does.
  if (const HRESULT saved = file->Save(to_wide(link_path).c_str(), TRUE); FAILED(saved)) {
    return failed(ShellLinkStep::kSave, saved);
  }
  return {};
}

}  // namespace velmo
