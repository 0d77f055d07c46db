// The main window's two shell views, ours over the file system: the folder box (an owner-drawn
// combo box of My Computer, the drives and the path of the current folder) and the file list
// (a report view of the folder's entries with the shell's icons from the system image list:
// name, size, type, modified; folders first, sorted by a column's header; hidden and system
// entries shown). The list is a
// virtual list view: only the rows on screen are asked for their texts and icons, so a folder
// of ten thousand entries opens as fast as it can be read.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::app {

// My Computer, the root of both views: its path is the empty text (a path without "\").
inline constexpr const char* kMyComputer = "";

// A drive root: three characters, ":\" at positions 2 and 3.
bool is_drive_root(const std::string& path);
// The folder Back goes to from `path`: the parent folder (no trailing "\" unless a drive root),
// My Computer ("") from a drive root, and `path` itself from My Computer.
std::string parent_folder(const std::string& path);

// One entry of the file list: a file or folder of the shown folder, or a drive at My Computer.
struct ShellEntry {
  std::string name;   // file name as listed (a drive: its root, "C:\")
  std::wstring label;  // as displayed (a drive: its display name)
  std::string path;    // full Windows path
  DWORD attributes = 0;
  std::uint64_t size = 0;
  FILETIME modified{};
  bool is_directory = false;
  bool is_drive = false;
  // Filled when the row is first drawn.
  int icon = -1;
  std::wstring type;
};

// Every entry of `folder` but "." and "..", hidden and system ones included: folders first,
// then files, each group by name without regard to case. throws OsError naming the folder.
std::vector<ShellEntry> read_folder(const std::string& folder);
// The drives of My Computer, in letter order.
std::vector<ShellEntry> read_drives();

// The file list: a virtual report-view list view. Several entries can be selected; the whole
// row is selected; the selection stays visible (in a paler colour) without the focus; names
// can be edited in place (the parent renames the file on LVN_ENDLABELEDIT).
class FileList {
 public:
  void create(HWND parent, int id, const RECT& place, HFONT font, int dpi);
  HWND hwnd() const { return hwnd_; }
  // Shows `entries` in their order, nothing selected, scrolled to the top.
  void show(std::vector<ShellEntry> entries);
  const std::vector<ShellEntry>& entries() const { return entries_; }
  ShellEntry& entry(std::size_t index) { return entries_[index]; }
  // Indexes of the selected entries, in list order.
  std::vector<std::size_t> selected() const;
  std::optional<std::size_t> first_selected() const;
  void select(std::size_t index);
  // Gives the entry the focus rectangle and scrolls it into view (without selecting it).
  void focus(std::size_t index);
  std::optional<std::size_t> find(const std::string& name) const;
  // The list's own notifications (texts, icons, colours, type-ahead, a click on a column's
  // header); true when handled.
  bool notify(const NMHDR& header, LRESULT& result);

  // The order of the rows: folders first, then files, each group by the column's key (name,
  // size, type or date; the name decides between equal keys), up or down. A click on a header
  // sorts by its column, a second click reverses; the header shows the arrow.
  enum class Column { Name, Size, Type, Modified };
  void sort_by(Column column, bool ascending);
  Column sort_column() const { return sort_column_; }
  bool sort_ascending() const { return sort_ascending_; }
  // True while the rows are put in a new order: their states change, not the user's choice.
  bool rearranging() const { return rearranging_; }

 private:
  void fill_row(std::size_t index);
  // Puts entries_ in the order asked for, keeping the selected and focused rows.
  void sort_rows();
  void show_sort_arrow();
  HWND hwnd_ = nullptr;
  Column sort_column_ = Column::Name;
  bool sort_ascending_ = true;
  bool rearranging_ = false;
  std::vector<ShellEntry> entries_;
  std::wstring text_;  // the text handed out last
};

// The folder box: My Computer, the drives below it, and the current folder's path below its
// drive; the current one is selected, so the box's text is the current folder's path.
class FolderBox {
 public:
  void create(HWND parent, int id, const RECT& place, HFONT font, int dpi);
  HWND hwnd() const { return hwnd_; }
  void show(const std::string& folder);
  // The path of the chosen item ("" for My Computer); nullopt when nothing is chosen.
  std::optional<std::string> chosen() const;
  // WM_MEASUREITEM and WM_DRAWITEM of the box, which its parent receives.
  void measure(MEASUREITEMSTRUCT& item) const;
  void draw(const DRAWITEMSTRUCT& item) const;

 private:
  struct Item {
    std::wstring text;
    std::string path;
    int indent = 0;
    int icon = -1;
  };
  HWND hwnd_ = nullptr;
  HIMAGELIST images_ = nullptr;
  int row_height_ = 18;
  int indent_width_ = 10;
  std::vector<Item> items_;
};

}  // namespace tarvik::app
