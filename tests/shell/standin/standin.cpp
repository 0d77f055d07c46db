// A stand-in for Tarvik.exe in the context-menu tests: it records how it was started and ends.
// Into "command_line.txt" beside itself it writes, as UTF-8, its whole command line, then each
// argument as the C runtime's rules split it, one per line. Written to a temporary name and
// renamed, so a reader never sees half of it.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string narrow(const wchar_t* wide) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
}

}  // namespace

int main() {
  std::wstring own(32768, L'\0');
  own.resize(::GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size())));
  const std::wstring folder = own.substr(0, own.rfind(L'\\'));

  const wchar_t* line = ::GetCommandLineW();
  std::string text = narrow(line) + "\n";
  int count = 0;
  if (wchar_t** args = ::CommandLineToArgvW(line, &count)) {
    for (int i = 0; i < count; ++i) text += narrow(args[i]) + "\n";
    ::LocalFree(args);
  }
  const std::wstring temporary = folder + L"\\command_line.tmp";
  const std::wstring final_name = folder + L"\\command_line.txt";
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  if (!ok || !::MoveFileExW(temporary.c_str(), final_name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return 1;
  }
  return 0;
}
