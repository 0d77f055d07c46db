#include "app/shell_view.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <map>

#include "app/resource.h"
#include "app/window.h"
#include "format/messages.h"
#include "format/names.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace tarvik::app {

namespace {

int scaled(int pixels, int dpi) { return ::MulDiv(pixels, dpi, 96); }

std::wstring lower(std::wstring text) {
  if (!text.empty()) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The system image list of small icons, shared by every view (never destroyed).
HIMAGELIST system_small_icons() {
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(::SHGetFileInfoW(L"C:\\", 0, &info, sizeof info,
                                                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

// Files whose icon is their own (programs, icons, shortcuts): asked per file; every other
// file takes the icon of its extension, asked once.
bool has_own_icon(const std::wstring& extension) {
  static const wchar_t* const own[] = {L".exe", L".ico", L".lnk", L".cur", L".ani", L".scr", L".cpl"};
  for (const wchar_t* e : own)
    if (extension == e) return true;
  return false;
}

std::wstring extension_of(const std::wstring& name) {
  const auto dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : lower(name.substr(dot));
}

struct TypeAndIcon {
  std::wstring type;
  int icon = 0;
};

// The shell's type name and icon of a file or folder by its name and attributes alone.
TypeAndIcon by_attributes(const std::wstring& name, DWORD attributes) {
  SHFILEINFOW info{};
  ::SHGetFileInfoW(name.c_str(), attributes, &info, sizeof info,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  return {info.szTypeName, info.iIcon};
}

// Whether the shell knows the file type of `extension` (".txt"): a class with a name.
bool registered_type(const std::wstring& extension) {
  wchar_t type_class[256];
  LONG size = sizeof type_class;
  if (extension.empty() || ::RegQueryValueW(HKEY_CLASSES_ROOT, extension.c_str(), type_class, &size) != ERROR_SUCCESS ||
      !type_class[0])
    return false;
  wchar_t description[256];
  size = sizeof description;
  return ::RegQueryValueW(HKEY_CLASSES_ROOT, type_class, description, &size) == ERROR_SUCCESS && description[0];
}

// The type name and icon by extension ("" for files without one, "\" for folders), cached for
// the run. Folders are "Папка с файлами"; files of a type the shell does not know are
// "Файл «TXT»" (or "Файл" without extension), as a Russian Windows names them.
const TypeAndIcon& cached_type(const std::wstring& key, DWORD attributes) {
  static std::map<std::wstring, TypeAndIcon> cache;
  auto it = cache.find(key);
  if (it == cache.end()) {
    const bool folder = key == L"\\";
    TypeAndIcon t = by_attributes(folder ? L"folder" : L"file" + key, attributes);
    if (folder) {
      t.type = codepage::widen(load_string(IDS_MAIN_FOLDER_TYPE));
    } else if (t.type.empty() || !registered_type(key)) {
      std::wstring upper = key.empty() ? key : key.substr(1);
      if (!upper.empty()) ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
      t.type = codepage::widen(msg::kFileType);
      if (!upper.empty()) t.type += L" «" + upper + L"»";
    }
    it = cache.emplace(key, std::move(t)).first;
  }
  return it->second;
}

std::wstring size_text(std::uint64_t size) {
  // Kilobytes, rounded up as the Explorer shows them, the thousands set apart by blanks.
  std::wstring digits = std::to_wstring(size / 1024 + (size % 1024 != 0));
  for (auto i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
    digits.insert(static_cast<std::size_t>(i), 1, L' ');
  return digits + codepage::widen(load_string(IDS_MAIN_KILOBYTES));
}

std::wstring time_text(const FILETIME& time) {
  FILETIME local;
  SYSTEMTIME t;
  if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) || !::FileTimeToLocalFileTime(&time, &local) ||
      !::FileTimeToSystemTime(&local, &t))
    return {};
  wchar_t text[32];
  std::swprintf(text, 32, L"%02u.%02u.%04u %02u:%02u", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute);
  return text;
}

// The locale's sort key of a name, without regard to case.
std::string sort_key(const std::wstring& name) {
  const int n = ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
                               static_cast<int>(name.size()), nullptr, 0);
  std::string key(static_cast<std::size_t>(std::max(n, 0)), '\0');
  if (n > 0)
    ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, name.c_str(),
                   static_cast<int>(name.size()), reinterpret_cast<LPWSTR>(key.data()), n);
  return key;
}

COLORREF blend(COLORREF a, COLORREF b, int percent_of_a) {
  const auto mix = [&](int x, int y) { return (x * percent_of_a + y * (100 - percent_of_a)) / 100; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

}  // namespace

bool is_drive_root(const std::string& path) {
  return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

std::string parent_folder(const std::string& path) {
  if (path.find('\\') == std::string::npos) return path;  // My Computer: nothing above
  if (is_drive_root(path)) return kMyComputer;
  std::string parent = path.substr(0, path.rfind('\\') + 1);  // C:\a\b gives C:\a\ .
  if (parent.size() > 1 && parent.back() == '\\' && !is_drive_root(parent)) parent.pop_back();
  return parent;
}

std::vector<ShellEntry> read_folder(const std::string& folder) {
  std::vector<ShellEntry> entries;
  std::vector<std::string> keys;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(codepage::widen_path(format::join_path(folder, "*")).c_str(),
                                   FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return entries;  // an empty drive
    throw OsError(static_cast<int>(error), folder);
  }
  do {
    if (!std::wcscmp(data.cFileName, L".") || !std::wcscmp(data.cFileName, L"..")) continue;
    ShellEntry e;
    e.label = data.cFileName;
    e.name = codepage::narrow(e.label);
    e.path = format::join_path(folder, e.name);
    e.attributes = data.dwFileAttributes;
    e.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = e.is_directory ? 0 : (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    e.modified = data.ftLastWriteTime;
    entries.push_back(std::move(e));
  } while (::FindNextFileW(find, &data));
  const DWORD error = ::GetLastError();
  ::FindClose(find);
  if (error != ERROR_NO_MORE_FILES) throw OsError(static_cast<int>(error), folder);

  // Folders first, then files; each by the locale's order of names, case ignored.
  keys.reserve(entries.size());
  for (const auto& e : entries) keys.push_back(sort_key(e.label));
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (entries[a].is_directory != entries[b].is_directory) return entries[a].is_directory;
    return keys[a] < keys[b];
  });
  std::vector<ShellEntry> sorted;
  sorted.reserve(entries.size());
  for (std::size_t i : order) sorted.push_back(std::move(entries[i]));
  return sorted;
}

std::vector<ShellEntry> read_drives() {
  std::vector<ShellEntry> drives;
  wchar_t roots[512];
  const DWORD n = ::GetLogicalDriveStringsW(511, roots);
  for (const wchar_t* root = roots; n > 0 && n < 512 && *root; root += std::wcslen(root) + 1) {
    ShellEntry e;
    e.name = codepage::narrow(root);
    e.path = e.name;
    SHFILEINFOW info{};
    ::SHGetFileInfoW(root, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    e.icon = info.iIcon;
    // As the Explorer names them: the volume's label, or the kind of drive, and the letter.
    UINT kind = IDS_MAIN_LOCAL_DISK;
    const UINT type = ::GetDriveTypeW(root);
    if (type == DRIVE_REMOVABLE) kind = IDS_MAIN_REMOVABLE_DISK;
    if (type == DRIVE_REMOTE) kind = IDS_MAIN_NETWORK_DISK;
    if (type == DRIVE_CDROM) kind = IDS_MAIN_CD_DRIVE;
    e.type = codepage::widen(load_string(kind));
    wchar_t label[MAX_PATH + 1] = {};
    if (type == DRIVE_FIXED || type == DRIVE_RAMDISK)  // others may wait for a medium
      ::GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    e.label = std::wstring(label[0] ? label : e.type.c_str()) + L" (" + std::wstring(root, 2) + L")";
    e.attributes = FILE_ATTRIBUTE_DIRECTORY;
    e.is_directory = true;
    e.is_drive = true;
    drives.push_back(std::move(e));
  }
  return drives;
}

// ---- FileList ----

void FileList::create(HWND parent, int id, const RECT& place, HFONT font, int dpi) {
  hwnd_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                                LVS_OWNERDATA | LVS_EDITLABELS | LVS_SHAREIMAGELISTS,
                            place.left, place.top, place.right - place.left, place.bottom - place.top,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  ListView_SetImageList(hwnd_, system_small_icons(), LVSIL_SMALL);
  struct Column {
    UINT title;
    int width;
    int format;
  };
  const Column columns[] = {{IDS_MAIN_COLUMN_NAME, 226, LVCFMT_LEFT},
                            {IDS_MAIN_COLUMN_SIZE, 78, LVCFMT_RIGHT},
                            {IDS_MAIN_COLUMN_TYPE, 112, LVCFMT_LEFT},
                            {IDS_MAIN_COLUMN_MODIFIED, 106, LVCFMT_LEFT}};
  int i = 0;
  for (const Column& c : columns) {
    std::wstring title = codepage::widen(load_string(c.title));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = c.format;
    column.cx = scaled(c.width, dpi);
    column.pszText = title.data();
    ListView_InsertColumn(hwnd_, i++, &column);
  }
  show_sort_arrow();
}

void FileList::show(std::vector<ShellEntry> entries) {
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  entries_ = std::move(entries);
  if (sort_column_ != Column::Name || !sort_ascending_) sort_rows();  // read_folder's own order otherwise
  ListView_SetItemCountEx(hwnd_, static_cast<int>(entries_.size()), 0);
  if (!entries_.empty()) ListView_EnsureVisible(hwnd_, 0, FALSE);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void FileList::sort_by(Column column, bool ascending) {
  sort_column_ = column;
  sort_ascending_ = ascending;
  sort_rows();
  show_sort_arrow();
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void FileList::sort_rows() {
  const std::size_t n = entries_.size();
  // The rows' states go with their entries (a virtual list keeps them by row number).
  std::vector<UINT> states(n);
  for (std::size_t i = 0; i < n && hwnd_; ++i)
    states[i] = ListView_GetItemState(hwnd_, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED);
  std::vector<std::string> names(n);
  for (std::size_t i = 0; i < n; ++i) names[i] = sort_key(entries_[i].label);
  std::vector<std::wstring> types;
  if (sort_column_ == Column::Type) {
    types.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      const ShellEntry& e = entries_[i];
      types[i] = e.is_drive ? e.type
                 : e.is_directory ? cached_type(L"\\", FILE_ATTRIBUTE_DIRECTORY).type
                                  : lower(cached_type(extension_of(e.label), FILE_ATTRIBUTE_NORMAL).type);
    }
  }
  const auto compare = [&](std::size_t a, std::size_t b) {  // <0, 0, >0 within a group
    const ShellEntry &x = entries_[a], &y = entries_[b];
    int order = 0;
    switch (sort_column_) {
      case Column::Name: break;
      case Column::Size: order = x.size < y.size ? -1 : x.size > y.size; break;
      case Column::Type: order = types[a].compare(types[b]); break;
      case Column::Modified: order = ::CompareFileTime(&x.modified, &y.modified); break;
    }
    if (order == 0) order = names[a].compare(names[b]);
    return order;
  };
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (entries_[a].is_directory != entries_[b].is_directory) return entries_[a].is_directory;
    const int c = compare(a, b);
    return sort_ascending_ ? c < 0 : c > 0;
  });
  std::vector<ShellEntry> sorted;
  sorted.reserve(n);
  for (std::size_t i : order) sorted.push_back(std::move(entries_[i]));
  entries_ = std::move(sorted);
  if (!hwnd_) return;
  rearranging_ = true;
  ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (std::size_t i = 0; i < n; ++i)
    if (states[order[i]]) ListView_SetItemState(hwnd_, static_cast<int>(i), states[order[i]], LVIS_SELECTED | LVIS_FOCUSED);
  rearranging_ = false;
}

void FileList::show_sort_arrow() {
  HWND header = ListView_GetHeader(hwnd_);
  const int count = Header_GetItemCount(header);
  for (int i = 0; i < count; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, i, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == static_cast<int>(sort_column_)) item.fmt |= sort_ascending_ ? HDF_SORTUP : HDF_SORTDOWN;
    Header_SetItem(header, i, &item);
  }
}

std::vector<std::size_t> FileList::selected() const {
  std::vector<std::size_t> indexes;
  for (int i = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(hwnd_, i, LVNI_SELECTED))
    if (static_cast<std::size_t>(i) < entries_.size()) indexes.push_back(static_cast<std::size_t>(i));
  return indexes;
}

std::optional<std::size_t> FileList::first_selected() const {
  const int i = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
  if (i < 0 || static_cast<std::size_t>(i) >= entries_.size()) return std::nullopt;
  return static_cast<std::size_t>(i);
}

void FileList::select(std::size_t index) {
  ListView_SetItemState(hwnd_, static_cast<int>(index), LVIS_SELECTED, LVIS_SELECTED);
}

void FileList::focus(std::size_t index) {
  ListView_SetItemState(hwnd_, static_cast<int>(index), LVIS_FOCUSED, LVIS_FOCUSED);
  ListView_EnsureVisible(hwnd_, static_cast<int>(index), FALSE);
}

std::optional<std::size_t> FileList::find(const std::string& name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].name == name) return i;
  return std::nullopt;
}

void FileList::fill_row(std::size_t index) {
  ShellEntry& e = entries_[index];
  if (e.icon >= 0) return;
  if (e.is_directory) {
    const TypeAndIcon& t = cached_type(L"\\", FILE_ATTRIBUTE_DIRECTORY);
    e.type = t.type;
    e.icon = t.icon;
    return;
  }
  const std::wstring extension = extension_of(e.label);
  const TypeAndIcon& t = cached_type(extension, FILE_ATTRIBUTE_NORMAL);
  e.type = t.type;
  e.icon = t.icon;
  if (has_own_icon(extension)) {
    SHFILEINFOW info{};
    if (::SHGetFileInfoW(codepage::widen_path(e.path).c_str(), 0, &info, sizeof info,
                         SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
      e.icon = info.iIcon;
  }
}

bool FileList::notify(const NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
      if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= entries_.size()) return true;
      const std::size_t index = static_cast<std::size_t>(item.iItem);
      fill_row(index);
      const ShellEntry& e = entries_[index];
      if (item.mask & LVIF_IMAGE) item.iImage = e.icon;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        switch (item.iSubItem) {
          case 0: text_ = e.label; break;
          case 1: text_ = e.is_directory ? std::wstring() : size_text(e.size); break;
          case 2: text_ = e.type; break;
          default: text_ = e.is_drive ? std::wstring() : time_text(e.modified); break;
        }
        ::lstrcpynW(item.pszText, text_.c_str(), item.cchTextMax);
      }
      result = 0;
      return true;
    }
    case LVN_COLUMNCLICK: {
      const int index = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
      if (index < 0 || index > static_cast<int>(Column::Modified)) return true;
      const auto column = static_cast<Column>(index);
      sort_by(column, column == sort_column_ ? !sort_ascending_ : true);
      result = 0;
      return true;
    }
    case LVN_ODFINDITEMW: {
      // Type-ahead: the next entry from the start item whose name begins with the typed text.
      const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
      result = -1;
      if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz || entries_.empty())
        return true;
      const int length = static_cast<int>(std::wcslen(find.lvfi.psz));
      const std::size_t n = entries_.size();
      const std::size_t start = find.iStart >= 0 ? static_cast<std::size_t>(find.iStart) % n : 0;
      for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = (start + k) % n;
        const std::wstring& label = entries_[i].label;
        if (static_cast<int>(label.size()) >= length &&
            ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, label.c_str(), length,
                             find.lvfi.psz, length) == CSTR_EQUAL) {
          result = static_cast<LRESULT>(i);
          break;
        }
      }
      return true;
    }
    case NM_CUSTOMDRAW: {
      // The selection stays plainly visible when the list has no focus: a paler highlight
      // than the focused one, never the button face the list would use on its own.
      auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
      if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
        return true;
      }
      if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const int index = static_cast<int>(draw.nmcd.dwItemSpec);
        result = CDRF_DODEFAULT;
        if (::GetFocus() != hwnd_ && ListView_GetItemState(hwnd_, index, LVIS_SELECTED)) {
          draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
          draw.clrText = ::GetSysColor(COLOR_WINDOWTEXT);
          draw.clrTextBk = blend(::GetSysColor(COLOR_HIGHLIGHT), ::GetSysColor(COLOR_WINDOW), 35);
          result = CDRF_NEWFONT;
        }
        return true;
      }
      return false;
    }
  }
  return false;
}

// ---- FolderBox ----

void FolderBox::create(HWND parent, int id, const RECT& place, HFONT font, int dpi) {
  images_ = system_small_icons();
  HDC dc = ::GetDC(parent);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, old);
  ::ReleaseDC(parent, dc);
  row_height_ = std::max<int>(metrics.tmHeight, ::GetSystemMetrics(SM_CYSMICON)) + scaled(4, dpi);
  indent_width_ = scaled(12, dpi);
  constexpr int kRows = 8;  // drop-down rows
  hwnd_ = ::CreateWindowExW(0, WC_COMBOBOXW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                                CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                            place.left, place.top, place.right - place.left,
                            row_height_ * (kRows + 1) + scaled(8, dpi), parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ::SendMessageW(hwnd_, CB_SETMINVISIBLE, kRows, 0);
}

void FolderBox::show(const std::string& folder) {
  items_.clear();
  {
    Item computer{codepage::widen(load_string(IDS_MAIN_MY_COMPUTER)), kMyComputer, 0, -1};
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidl)) && pidl) {
      SHFILEINFOW info{};
      ::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
      computer.icon = info.iIcon;
      ::ILFree(pidl);
    }
    items_.push_back(std::move(computer));
  }
  const std::string drive = folder.size() >= 3 ? folder.substr(0, 3) : std::string();
  std::size_t current = 0;
  bool placed = folder.empty();
  const auto folder_item = [&] {
    const TypeAndIcon& t = cached_type(L"\\", FILE_ATTRIBUTE_DIRECTORY);
    items_.push_back({codepage::widen(folder), folder, 2, t.icon});
    current = items_.size() - 1;
    placed = true;
  };
  for (const ShellEntry& d : read_drives()) {
    items_.push_back({codepage::widen(d.name), d.path, 1, d.icon});
    if (!placed && lower(codepage::widen(d.name)) == lower(codepage::widen(drive))) {
      if (is_drive_root(folder)) {
        current = items_.size() - 1;
        placed = true;
      } else {
        folder_item();
      }
    }
  }
  if (!placed) folder_item();  // a folder on no drive of the list
  ::SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
  for (const Item& item : items_)
    ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
  ::SendMessageW(hwnd_, CB_SETCURSEL, current, 0);
  ::SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

std::optional<std::string> FolderBox::chosen() const {
  const LRESULT index = ::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return std::nullopt;
  return items_[static_cast<std::size_t>(index)].path;
}

void FolderBox::measure(MEASUREITEMSTRUCT& item) const { item.itemHeight = static_cast<UINT>(row_height_); }

void FolderBox::draw(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= items_.size()) return;
  const Item& it = items_[item.itemID];
  const bool in_field = (item.itemState & ODS_COMBOBOXEDIT) != 0;
  int x = item.rcItem.left + 2 + (in_field ? 0 : it.indent * indent_width_);
  const int icon_size = ::GetSystemMetrics(SM_CXSMICON);
  if (it.icon >= 0 && images_) {
    const int y = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - icon_size) / 2;
    ::ImageList_Draw(images_, it.icon, dc, x, y, ILD_TRANSPARENT);
  }
  x += icon_size + 4;
  RECT text = item.rcItem;
  text.left = x;
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  ::DrawTextW(dc, it.text.c_str(), static_cast<int>(it.text.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) ::DrawFocusRect(dc, &item.rcItem);
}

}  // namespace tarvik::app
