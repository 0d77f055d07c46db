#include "../process.h"

#include <windows.h>

#include <stdexcept>

#include "platform/codepage.h"
#include "platform/fs.h"
#include "test_support.h"

namespace tarvik::test {

namespace {
// Quotes one argument for CommandLineToArgvW.
std::wstring quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring q = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') q.append(backslashes * 2 + 1, L'\\');
    else q.append(backslashes, L'\\');
    backslashes = 0;
    q += c;
  }
  q.append(backslashes * 2, L'\\');
  return q + L"\"";
}

HANDLE inheritable(const std::wstring& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& folder, const std::string& input) {
  TempDir io;
  write_file(io.native() / "in", input);
  std::wstring in_path = codepage::widen(io.win("in")), out_path = codepage::widen(io.win("out")),
               err_path = codepage::widen(io.win("err"));
  std::wstring command = quote(codepage::widen(program));
  for (auto& a : args) command += L" " + quote(codepage::widen(a));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inheritable(in_path, false);
  si.hStdOutput = inheritable(out_path, true);
  si.hStdError = inheritable(err_path, true);
  PROCESS_INFORMATION pi{};
  std::wstring dir = codepage::widen(folder);
  BOOL ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           dir.c_str(), &si, &pi);
  CloseHandle(si.hStdInput);
  CloseHandle(si.hStdOutput);
  CloseHandle(si.hStdError);
  if (!ok) throw std::runtime_error("CreateProcessW failed");
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  RunResult result;
  result.status = static_cast<int>(code);
  result.out = read_file(io.native() / "out");
  result.err = read_file(io.native() / "err");
  return result;
}

}  // namespace tarvik::test
