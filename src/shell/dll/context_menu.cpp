// KZVContextMenu.dll: the Explorer context-menu handler, an in-process COM server under the
// fixed class identifier of registration/names.h (threading model "Apartment"). Explorer hands it the
// selection (IShellExtInit, CF_HDROP); it adds the commands of shell/menu.h to the menu
// (IContextMenu) and, when one is chosen, starts Tarvik.exe with the command's request line as
// its one argument. The program is the one "Application" under HKEY_LOCAL_MACHINE\software\KZV
// names, else the Tarvik.exe beside this library (found through the library's own module
// handle: the process is Explorer).
//
// No exception and no allocation failure leaves a COM method: each catches everything and
// returns an HRESULT. The handler keeps only the selection's names: no file stays open.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "shell/menu.h"
#include "registration/names.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tarvik::shell {
namespace {

// {4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}, as kHandlerClsid spells it.
constexpr CLSID kClsid = {0x4B7D21C6, 0x93E0, 0x4F5A, {0xA1, 0xD8, 0x3C, 0x6E, 0x90, 0xB2, 0xF4, 0x17}};

// Live objects and server locks: the library may be unloaded when both are zero.
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  }
  return wide;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                          nullptr, nullptr);
  }
  return utf8;
}

bool is_file(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring folder_of(const std::wstring& path) {
  const auto cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

// The full path of this library.
std::wstring own_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path.data(),
                                         static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// "Application" under HKEY_LOCAL_MACHINE\software\KZV, read only; "" when missing.
std::wstring recorded_program() {
  const auto key = widen(kSettingsKey);
  const auto value = widen(kApplicationValue);
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr,
                     nullptr, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr,
                     data.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  data.resize(wcsnlen(data.c_str(), data.size()));
  return data;
}

// The program to start: the recorded one when it is there, else Tarvik.exe beside this library;
// "" when neither is there (`looked` then names the places tried).
std::wstring find_program(std::wstring* looked) {
  const auto recorded = recorded_program();
  if (!recorded.empty() && is_file(recorded)) return recorded;
  const auto beside = folder_of(own_path()) + L"\\" + widen(kProgramFile);
  if (is_file(beside)) return beside;
  *looked = recorded.empty() ? beside : recorded + L"\n" + beside;
  return {};
}

// One argument quoted so that CommandLineToArgvW and the C runtime read it back unchanged.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
    else out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

// The longest command line CreateProcessW takes, its terminating zero included.
constexpr std::size_t kCommandLineLimit = 32767;

void tell(HWND owner, bool quiet, const std::wstring& text) {
  if (!quiet) ::MessageBoxW(owner, text.c_str(), L"Tarvik", MB_OK | MB_ICONERROR);
}

// Starts the program with `request` as its one argument; false (and a message unless `quiet`)
// when it cannot be started.
bool start_program(const std::string& request, HWND owner, bool quiet) {
  std::wstring looked;
  const auto program = find_program(&looked);
  if (program.empty()) {
    tell(owner, quiet, L"Не найдена программа Tarvik.exe. Искали:\n" + looked +
                           L"\nПереустановите Tarvik или выполните в нём «Установка меню "
                           L"проводника».");
    return false;
  }
  std::wstring command_line = quoted(program) + L" " + quoted(widen(request));
  if (command_line.size() + 1 > kCommandLineLimit) {
    tell(owner, quiet, L"Выделено слишком много элементов: их имена не помещаются в командную "
                       L"строку Tarvik.exe. Выделите меньше элементов или папку, в которой они "
                       L"лежат.");
    return false;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const auto folder = folder_of(program);
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    const DWORD code = ::GetLastError();
    wchar_t* reason = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&reason), 0, nullptr);
    tell(owner, quiet, L"Не удалось запустить " + program + L": " +
                           (reason ? std::wstring(reason) : L"ошибка " + std::to_wstring(code)));
    if (reason) ::LocalFree(reason);
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// Copies `text` into a caller's buffer of `size` characters, cut to fit.
template <class Char>
HRESULT copy_out(std::basic_string_view<Char> text, Char* buffer, UINT size) {
  if (buffer == nullptr || size == 0) return E_INVALIDARG;
  const std::size_t n = text.size() < size ? text.size() : size - 1;
  text.copy(buffer, n);
  buffer[n] = Char(0);
  return S_OK;
}

class ContextMenu final : public IShellExtInit, public IContextMenu {
 public:
  ContextMenu() { ++g_objects; }
  ~ContextMenu() { --g_objects; }
  ContextMenu(const ContextMenu&) = delete;
  ContextMenu& operator=(const ContextMenu&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit)) {
      *out = static_cast<IShellExtInit*>(this);
    } else if (IsEqualIID(iid, IID_IContextMenu)) {
      *out = static_cast<IContextMenu*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(++references_); }
  STDMETHODIMP_(ULONG) Release() noexcept override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IShellExtInit: the selection, as the names of the CF_HDROP list.
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) noexcept override {
    try {
      items_.clear();
      selection_.clear();
      if (data == nullptr) return E_INVALIDARG;
      FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
      STGMEDIUM medium = {};
      if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
      HRESULT result = S_OK;
      if (auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal))) {
        try {
          const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
          for (UINT i = 0; i < count; ++i) {
            const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
            std::wstring name(length + 1, L'\0');
            ::DragQueryFileW(drop, i, name.data(), length + 1);
            name.resize(length);
            if (!name.empty()) selection_.push_back(narrow(name));
          }
        } catch (...) {
          result = E_OUTOFMEMORY;
        }
        ::GlobalUnlock(medium.hGlobal);
      } else {
        result = E_INVALIDARG;
      }
      ::ReleaseStgMedium(&medium);
      if (SUCCEEDED(result)) items_ = menu_items(selection_);
      if (FAILED(result)) selection_.clear();
      return SUCCEEDED(result) && items_.empty() ? E_INVALIDARG : result;
    } catch (...) {
      items_.clear();
      selection_.clear();
      return E_OUTOFMEMORY;
    }
  }

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last,
                                UINT flags) noexcept override {
    try {
      if ((flags & CMF_DEFAULTONLY) || items_.empty()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
      UINT offset = 0;
      auto separator = [&] {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
        ::InsertMenuItemW(menu, index++, TRUE, &info);
      };
      separator();
      for (const auto& item : items_) {
        if (first + offset > last) break;
        auto caption = widen(item.caption);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
        info.fType = MFT_STRING;
        info.wID = first + offset;
        info.dwTypeData = caption.data();
        if (!::InsertMenuItemW(menu, index++, TRUE, &info)) break;
        ++offset;
      }
      separator();
      return MAKE_HRESULT(SEVERITY_SUCCESS, 0, offset);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) noexcept override {
    try {
      if (info == nullptr) return E_INVALIDARG;
      const MenuItem* item = nullptr;
      const bool unicode = info->cbSize >= sizeof(CMINVOKECOMMANDINFOEX) &&
                           (info->fMask & CMIC_MASK_UNICODE);
      const auto* wide_info = reinterpret_cast<const CMINVOKECOMMANDINFOEX*>(info);
      if (unicode && !IS_INTRESOURCE(wide_info->lpVerbW)) {
        item = by_verb(narrow(wide_info->lpVerbW));
      } else if (!IS_INTRESOURCE(info->lpVerb)) {
        item = by_verb(info->lpVerb);
      } else {
        item = by_offset(LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)));
      }
      if (item == nullptr) return E_INVALIDARG;
      const bool quiet = (info->fMask & CMIC_MASK_FLAG_NO_UI) != 0;
      return start_program(item->request, info->hwnd, quiet) ? S_OK : E_FAIL;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* name,
                                UINT size) noexcept override {
    try {
      const MenuItem* item = by_offset(command);
      if (item == nullptr) return E_INVALIDARG;
      switch (type) {
        case GCS_VALIDATEA:
        case GCS_VALIDATEW:
          return S_OK;
        case GCS_VERBA:
          return copy_out<char>(item->verb, name, size);
        case GCS_VERBW:
          return copy_out<wchar_t>(widen(item->verb), reinterpret_cast<wchar_t*>(name), size);
        case GCS_HELPTEXTW:
          return copy_out<wchar_t>(widen(item->help), reinterpret_cast<wchar_t*>(name), size);
        case GCS_HELPTEXTA: {
          // ANSI callers get the help text in the system's code page.
          const auto wide = widen(item->help);
          std::string ansi(wide.size() * 2 + 1, '\0');
          const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(),
                                              static_cast<int>(ansi.size()), nullptr, nullptr);
          ansi.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
          return copy_out<char>(ansi, name, size);
        }
        default:
          return E_INVALIDARG;
      }
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  const MenuItem* by_offset(UINT_PTR offset) const {
    return offset < items_.size() ? &items_[offset] : nullptr;
  }
  const MenuItem* by_verb(std::string_view verb) const {
    for (const auto& item : items_) {
      if (item.verb == verb) return &item;
    }
    return nullptr;
  }

  std::atomic<long> references_{1};
  std::vector<std::string> selection_;
  std::vector<MenuItem> items_;
};

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object: its references only keep the library loaded.
  STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(++g_locks + 1); }
  STDMETHODIMP_(ULONG) Release() noexcept override { return static_cast<ULONG>(--g_locks + 1); }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* menu = new (std::nothrow) ContextMenu;
    if (menu == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = menu->QueryInterface(iid, out);
    menu->Release();
    return result;
  }
  STDMETHODIMP LockServer(BOOL lock) noexcept override {
    if (lock) ++g_locks;
    else --g_locks;
    return S_OK;
  }
};

ClassFactory g_factory;

}  // namespace
}  // namespace tarvik::shell

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, tarvik::shell::kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return tarvik::shell::g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
  return tarvik::shell::g_objects == 0 && tarvik::shell::g_locks == 0 ? S_OK : S_FALSE;
}

}  // extern "C"
