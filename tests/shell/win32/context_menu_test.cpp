// KZVContextMenu.dll as Explorer uses it: created through CoCreateInstance from its registration,
// initialised with a data object holding real files (CF_HDROP), its commands put into a real
// menu and invoked; a stand-in Tarvik.exe records the command line each command starts, and
// the real Tarvik.exe packs and unpacks once from end to end.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "../../platform/native_path.h"
#include "../../unpack/archive_fixture.h"
#include "platform/codepage.h"
#include "registration/names.h"
#include "registration/registration.h"
#include "test_support.h"
#include "window_test_support.h"

namespace tarvik::test {
namespace {

using codepage::narrow;
using codepage::widen;

// A data object that offers one format: the file names as CF_HDROP.
class DropData final : public IDataObject {
 public:
  explicit DropData(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const auto& path : paths) names += widen(path) + L'\0';
    names += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    drop_ = ::GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(::GlobalLock(drop_));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
    ::GlobalUnlock(drop_);
  }
  ~DropData() { ::GlobalFree(drop_); }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the test's stack; counted only to check that the handler lets go.
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    const SIZE_T size = ::GlobalSize(drop_);
    HGLOBAL copy = ::GlobalAlloc(GHND, size);
    std::memcpy(::GlobalLock(copy), ::GlobalLock(drop_), size);
    ::GlobalUnlock(copy);
    ::GlobalUnlock(drop_);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  ULONG references = 1;

 private:
  HGLOBAL drop_ = nullptr;
};

// A data object without CF_HDROP (as for a click on a folder's background).
class EmptyData final : public IDataObject {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

struct Caption {
  UINT id;
  std::string text;
};

// The menu's string items as the menu holds them, separators left out.
std::vector<Caption> captions_of(HMENU menu) {
  std::vector<Caption> captions;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = 512;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    if (info.fType & MFT_SEPARATOR) continue;
    captions.push_back({info.wID, narrow(text)});
  }
  return captions;
}

class ContextMenuDll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    prog_ = dir_.win("prog");
    for (auto folder : {"prog", "other", "work\\Фото и видео"}) {
      std::filesystem::create_directories(native(dir_, folder));
    }
    write_file(native(dir_, "work\\a.txt"), "a");
    write_file(native(dir_, "work\\b c.txt"), "b");
    write_file(native(dir_, "work\\arh.kzv"), "not really an archive");
    for (auto [from, to] : {std::pair{TARVIK_CONTEXT_MENU_DLL, "prog\\KZVContextMenu.dll"},
                            std::pair{TARVIK_STANDIN, "prog\\Tarvik.exe"},
                            std::pair{TARVIK_STANDIN, "other\\Tarvik.exe"}}) {
      ASSERT_TRUE(::CopyFileW(widen(from).c_str(), widen(dir_.win(to)).c_str(), FALSE)) << to;
    }
    shell::remove_registration(registry::system_registry());
    ASSERT_TRUE(shell::RegistryStartup(registry::system_registry(), prog_ + "\\Tarvik.exe"));
  }

  void TearDown() override {
    shell::remove_registration(registry::system_registry());
    ::CoFreeUnusedLibrariesEx(0, 0);
    ::CoUninitialize();
  }

  // A handler created through COM and initialised with `paths`.
  IContextMenu* handler_for(const std::vector<std::string>& paths) {
    CLSID clsid;
    EXPECT_EQ(::CLSIDFromString(widen(shell::kHandlerClsid).c_str(), &clsid), S_OK);
    IShellExtInit* init = nullptr;
    const HRESULT created = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellExtInit, reinterpret_cast<void**>(&init));
    EXPECT_EQ(created, S_OK);
    if (init == nullptr) return nullptr;
    DropData data(paths);
    EXPECT_EQ(init->Initialize(nullptr, &data, nullptr), S_OK);
    EXPECT_EQ(data.references, 1u) << "the handler keeps the data object";
    IContextMenu* menu = nullptr;
    EXPECT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    init->Release();
    return menu;
  }

  // The command line the stand-in in `folder` recorded, waited for: the whole line, then the
  // arguments.
  std::vector<std::string> recorded(const std::string& folder) {
    const auto path = fs::to_native(folder + "\\command_line.txt").value();
    for (int i = 0; i < 300 && !std::filesystem::exists(path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!std::filesystem::exists(path)) return {};
    std::vector<std::string> lines;
    // Seen under load with Wine: the name is there a moment before the file can be opened.
    std::string text;
    for (int i = 0;; ++i) {
      try {
        text = read_file(path);
        break;
      } catch (const std::exception&) {
        if (i == 50) throw;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    std::filesystem::remove(path);
    for (std::size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos;
         from = end + 1) {
      lines.push_back(text.substr(from, end - from));
    }
    return lines;
  }

  static HRESULT invoke(IContextMenu* menu, const char* verb) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = CMIC_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
  }

  TempDir dir_;
  std::string prog_;
};

TEST_F(ContextMenuDll, PutsItsCommandsIntoTheMenuAndStartsTheProgramWithEachRequest) {
  const auto work = dir_.win("work");
  struct Case {
    std::vector<std::string> selection;
    std::vector<std::pair<std::string, std::string>> commands;  // caption, request
  };
  const Case cases[] = {
      {{work + "\\a.txt", work + "\\b c.txt"},
       {{"Создать KZV архив a.kzv", work + "\\a.txt*" + work + "\\b c.txt*<"},
        {"Открыть в Tarvik", work + "\\a.txt*" + work + "\\b c.txt*>"}}},
      {{work + "\\arh.kzv"},
       {{"Распаковать в текущую папку", work + "\\arh.kzv*>"},
        {"Распаковать в папку: arh", work + "\\arh.kzv*<"},
        {"Открыть в Tarvik", work + "\\arh.kzv"}}},
      {{work + "\\Фото и видео"},
       {{"Создать KZV архив Фото и видео.kzv", work + "\\Фото и видео*<"},
        {"Открыть в Tarvik", work + "\\Фото и видео*>"}}},
  };
  for (const auto& c : cases) {
    IContextMenu* handler = handler_for(c.selection);
    ASSERT_NE(handler, nullptr);
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, 1, L"Открыть");  // Explorer's own item stays first
    const HRESULT added = handler->QueryContextMenu(menu, 1, 100, 200, CMF_NORMAL);
    EXPECT_EQ(HRESULT_CODE(added), static_cast<int>(c.commands.size()));

    const auto captions = captions_of(menu);
    ASSERT_EQ(captions.size(), c.commands.size() + 1);
    EXPECT_EQ(captions[0].text, "Открыть");
    std::cout << "QueryContextMenu for " << c.selection.front()
              << (c.selection.size() > 1 ? " and more" : "") << ":\n";
    for (std::size_t i = 0; i < c.commands.size(); ++i) {
      const auto& [id, text] = captions[i + 1];
      std::cout << "  " << id << "  \"" << text << "\"\n";
      EXPECT_EQ(text, c.commands[i].first);
      EXPECT_EQ(id, 100 + i);
      EXPECT_EQ(invoke(handler, MAKEINTRESOURCEA(id - 100)), S_OK) << text;
      const auto line = recorded(prog_);
      ASSERT_EQ(line.size(), 3u) << text;  // the whole line, the program, the request
      EXPECT_EQ(line[1], prog_ + "\\Tarvik.exe");
      EXPECT_EQ(line[2], c.commands[i].second) << text;
      std::cout << "      started: " << line[0] << "\n";
    }
    ::DestroyMenu(menu);
    EXPECT_EQ(handler->Release(), 0u);
  }
}

TEST_F(ContextMenuDll, AnswersVerbsAndHelpAndRefusesWhatItDoesNotKnow) {
  const auto archive = dir_.win("work\\arh.kzv");
  IContextMenu* handler = handler_for({archive});
  ASSERT_NE(handler, nullptr);
  HMENU menu = ::CreatePopupMenu();
  ASSERT_EQ(HRESULT_CODE(handler->QueryContextMenu(menu, 0, 7, 100, CMF_NORMAL)), 3);

  wchar_t wide[128] = {};
  char ansi[128] = {};
  EXPECT_EQ(handler->GetCommandString(1, GCS_VERBW, nullptr, reinterpret_cast<char*>(wide), 128),
            S_OK);
  EXPECT_EQ(narrow(wide), "TarvikUnpackToFolder");
  EXPECT_EQ(handler->GetCommandString(0, GCS_VERBA, nullptr, ansi, 128), S_OK);
  EXPECT_STREQ(ansi, "TarvikUnpackHere");
  EXPECT_EQ(handler->GetCommandString(1, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide),
                                      128),
            S_OK);
  EXPECT_EQ(narrow(wide), "Распаковать архив в новую папку arh рядом с ним");
  EXPECT_EQ(handler->GetCommandString(2, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 4),
            S_OK);
  EXPECT_EQ(std::wstring(wide).size(), 3u);  // cut to the buffer
  EXPECT_EQ(handler->GetCommandString(3, GCS_VERBA, nullptr, ansi, 128), E_INVALIDARG);

  // By verb instead of by offset.
  EXPECT_EQ(invoke(handler, "TarvikUnpackToFolder"), S_OK);
  const auto line = recorded(prog_);
  ASSERT_EQ(line.size(), 3u);
  EXPECT_EQ(line[2], archive + "*<");

  EXPECT_EQ(invoke(handler, "TarvikPack"), E_INVALIDARG);  // not offered for one archive
  EXPECT_EQ(invoke(handler, MAKEINTRESOURCEA(3)), E_INVALIDARG);
  EXPECT_EQ(handler->InvokeCommand(nullptr), E_INVALIDARG);
  ::DestroyMenu(menu);

  // The handler holds no file open: the archive can be renamed while it lives.
  const auto renamed = dir_.win("work\\renamed.kzv");
  EXPECT_TRUE(::MoveFileW(widen(archive).c_str(), widen(renamed).c_str()));

  // A data object without file names: nothing to offer.
  IShellExtInit* init = nullptr;
  ASSERT_EQ(handler->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  EmptyData empty;
  EXPECT_NE(init->Initialize(nullptr, &empty, nullptr), S_OK);
  EXPECT_NE(init->Initialize(nullptr, nullptr, nullptr), S_OK);
  HMENU second = ::CreatePopupMenu();
  EXPECT_EQ(HRESULT_CODE(handler->QueryContextMenu(second, 0, 1, 100, CMF_NORMAL)), 0);
  EXPECT_EQ(::GetMenuItemCount(second), 0);
  ::DestroyMenu(second);
  init->Release();
  EXPECT_EQ(handler->Release(), 0u);

  // Every object gone: the library may be unloaded.
  HMODULE dll = ::GetModuleHandleW(widen(prog_ + "\\KZVContextMenu.dll").c_str());
  ASSERT_NE(dll, nullptr);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto can_unload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllCanUnloadNow")));
  ASSERT_NE(can_unload, nullptr);
  EXPECT_EQ(can_unload(), S_OK);
}

TEST_F(ContextMenuDll, FindsTheProgramThroughApplicationElseBesideItself) {
  const auto file = dir_.win("work\\a.txt");
  auto set_application = [](const std::string& value) {
    registry::system_registry()
        .open(registry::Root::LocalMachine, shell::kSettingsKey, registry::Open::Create)
        ->write(shell::kApplicationValue, value);
  };
  IContextMenu* handler = handler_for({file});
  ASSERT_NE(handler, nullptr);

  // "Application" names another copy: that one is started.
  set_application(dir_.win("other\\Tarvik.exe"));
  EXPECT_EQ(invoke(handler, "TarvikPack"), S_OK);
  auto line = recorded(dir_.win("other"));
  ASSERT_EQ(line.size(), 3u);
  EXPECT_EQ(line[1], dir_.win("other\\Tarvik.exe"));
  EXPECT_EQ(line[2], file + "*<");

  // "Application" names nothing that exists, or is missing: the program beside the library.
  for (const std::string& value : {dir_.win("gone\\Tarvik.exe"), std::string()}) {
    set_application(value);
    EXPECT_EQ(invoke(handler, "TarvikOpen"), S_OK) << value;
    line = recorded(prog_);
    ASSERT_EQ(line.size(), 3u) << value;
    EXPECT_EQ(line[1], prog_ + "\\Tarvik.exe");
    EXPECT_EQ(line[2], file + "*>");
  }

  // Neither: the command fails (quietly, as asked), and nothing is started.
  ASSERT_TRUE(::DeleteFileW(widen(prog_ + "\\Tarvik.exe").c_str()));
  EXPECT_EQ(invoke(handler, "TarvikOpen"), E_FAIL);
  EXPECT_FALSE(std::filesystem::exists(native(dir_, "prog\\command_line.txt")));
  EXPECT_EQ(handler->Release(), 0u);
}

// Waits for every running Tarvik.exe to end (those the handler started); kills what is still
// running after `timeout_ms` and returns false then.
bool wait_for_programs(DWORD timeout_ms) {
  std::vector<HANDLE> running;
  HANDLE processes = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (processes == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(processes, &entry); more;
       more = ::Process32NextW(processes, &entry)) {
    if (::lstrcmpiW(entry.szExeFile, L"Tarvik.exe") != 0) continue;
    if (HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID))
      running.push_back(process);
  }
  ::CloseHandle(processes);
  bool ended = true;
  const auto deadline = ::GetTickCount64() + timeout_ms;
  for (HANDLE process : running) {
    const auto now = ::GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (::WaitForSingleObject(process, left) != WAIT_OBJECT_0) {
      ::TerminateProcess(process, 99);
      ended = false;
    }
    ::CloseHandle(process);
  }
  return ended;
}

// The real program behind the handler: "Создать KZV архив …" packs the selection next to it,
// "Распаковать в папку: …" and "Распаковать в текущую папку" give the same tree back.
TEST_F(ContextMenuDll, PacksAndUnpacksWithTheRealProgram) {
  NEED_DISPLAY();
  ASSERT_TRUE(::CopyFileW(widen(TARVIK_GUI).c_str(), widen(prog_ + "\\Tarvik.exe").c_str(), FALSE));
  const auto work = dir_.win("work");
  write_file(native(dir_, "work\\Фото и видео\\снимок 1.txt"), "кадр");
  write_file(native(dir_, "work\\Фото и видео\\вложенная\\b.bin"), std::string(70000, '\x7f'));
  std::filesystem::remove(native(dir_, "work\\arh.kzv"));
  const auto before = snapshot(native(dir_, "work"));

  auto run = [&](const std::vector<std::string>& selection, const char* verb) {
    IContextMenu* handler = handler_for(selection);
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(invoke(handler, verb), S_OK) << verb;
    EXPECT_TRUE(wait_for_programs(120000)) << verb << ": Tarvik.exe did not end";
    EXPECT_EQ(handler->Release(), 0u);
  };

  run({work + "\\a.txt", work + "\\b c.txt", work + "\\Фото и видео"}, "TarvikPack");
  const auto archive = native(dir_, "work\\a.kzv");
  ASSERT_TRUE(std::filesystem::exists(archive)) << "no archive after the pack command";
  EXPECT_FALSE(std::filesystem::exists(native(dir_, "prog\\Tarvik_file.tmp")));

  run({work + "\\a.kzv"}, "TarvikUnpackToFolder");
  auto unpacked = snapshot(native(dir_, "work\\a"));
  EXPECT_EQ(unpacked, before);

  std::filesystem::create_directories(native(dir_, "elsewhere"));
  std::filesystem::copy_file(archive, native(dir_, "elsewhere\\a.kzv"));
  run({dir_.win("elsewhere\\a.kzv")}, "TarvikUnpackHere");
  unpacked = snapshot(native(dir_, "elsewhere"));
  unpacked.erase("a.kzv");
  EXPECT_EQ(unpacked, before);
  EXPECT_FALSE(std::filesystem::exists(native(dir_, "prog\\Tarvik_file.tmp")));
}

}  // namespace
}  // namespace tarvik::test
