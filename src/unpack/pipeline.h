// Extraction of a whole archive on several threads. The walk (the calling thread) reads the
// records and the packed data of each file entry; inflate workers turn each entry's data into
// its work file beside the target, several entries at once, and give it its stored date; the
// calling thread puts the finished files in place strictly in the order of the entries, so the
// journal, the rollback and what stays after a failure are those of an extraction one entry
// after the other.
//
//   walk thread:  fields → work file created → packed data queued ─┐
//   workers:                       inflate into the work file, date ←─┘ → ready
//   walk thread:  ready entries, in order: moved into place, journalled, attributes
//
// Memory is bounded: packed data wait in pieces of at most kPackedPiece bytes, at most
// kQueuedPacked bytes in all (the walk waits when the workers are behind), and at most
// kEntriesInHand entries are in hand at once. A small entry is handed to the workers with all
// its data at once (one wake-up); when it also inflates to at most kWholeInflated bytes, the
// worker inflates it whole with libdeflate into a buffer of its own and writes it in one go
// (zlib's streaming inflate takes the rest, and any stream libdeflate refuses, so that the fault
// is named as always).
//
// In a folder the run made itself, an entry whose name nothing has is written under that name
// rather than beside it (WorkFile::exactly): journalled before it is made, deleted like a work
// file if it is not put in place, so a failure or an Abort leaves what one-after-the-other
// extraction would, with one journal record fewer and no rename per file.
//
// Folders are made by the walk as their records come, while earlier entries are still in hand:
// each level is journalled before it is made, and before any file inside it, so a rollback
// undoes them in the right order. A level whose name is that of an entry in hand (its target or
// its work file) waits until that entry is in place, as it would one entry after the other.
// Levels made after an entry that then fails are removed again (when empty): a failed run
// leaves what one-after-the-other extraction would have left. A work file never takes the name
// of a target still to come. Work files are made, journalled and dropped on the walk's thread
// only; workers just write into them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "format/messages.h"
#include "ops/workers.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "unpack/entry_file.h"
#include "unpack/walk.h"

namespace tarvik {
class RollbackJournal;
class Ui;
}  // namespace tarvik

namespace tarvik::unpack {

inline constexpr std::size_t kPackedPiece = 64 * 1024;
inline constexpr std::size_t kQueuedPacked = 8 * 1024 * 1024;
inline constexpr std::size_t kEntriesInHand = 64;
inline constexpr std::size_t kInflatedBlock = 128 * 1024;
inline constexpr std::size_t kWholeInflated = 256 * 1024;
inline constexpr std::size_t kMadeFolders = 4096;

class ExtractionPipeline {
 public:
  // `threads` inflate workers (0: the machine's cores). `poll` is called on the walk's thread
  // between reads and while waiting (about every 20 ms); it throws to stop (AbortRequested).
  ExtractionPipeline(unsigned threads, RollbackJournal* journal, std::function<void()> poll);
  // Stops the workers; the work files of entries not put in place are deleted, and the folder
  // levels made after the first of them are removed when empty.
  ~ExtractionPipeline();
  ExtractionPipeline(const ExtractionPipeline&) = delete;
  ExtractionPipeline& operator=(const ExtractionPipeline&) = delete;

  // Takes one file entry whose target is `target` (its folder exists): creates its work
  // file, reads all its packed data from `data` and hands them to the workers. Puts earlier
  // entries in place as they become ready. `free_name`: nothing had the target's name when the
  // walk looked just before (the entry then goes into place in one step). throws what reading
  // the volume chain, putting an entry in place and `poll` throw; EntryDamaged names the
  // damaged entry.
  void add(const Record& record, EntryData& data, const std::string& target, bool free_name);
  // What has the name `target`, as far as the run knows: in a folder the run made itself, a
  // name that is none of the folders it made there is Free without asking the system (were it
  // taken all the same, putting the entry in place finds out and takes the careful way);
  // elsewhere fs::name_kind.
  fs::NameKind name_kind(const std::string& target) const;
  // Before the missing levels of `folder` (no trailing "\") are made: when one of its levels
  // has the name of an entry in hand, the entries in hand are put in place first. throws as
  // add().
  void before_folder(const std::string& folder);
  // The levels just made (outermost first), in their place among the entries.
  void folders_made(std::vector<std::string> levels);
  // Puts every entry in hand in place, waiting for the workers. throws as add().
  void drain();

 private:
  struct Entry;
  class QueueSource;
  // Thrown inside a worker to drop its entry: never leaves the pipeline.
  struct Cancelled : Error {
    Cancelled() : Error(std::string(msg::kOperationAborted)) {}
  };

  void work();
  void stop();  // tells the workers to return
  // An entry inflated whole: its packed data come in one piece, its output fits the buffer.
  static bool is_whole(const Entry& entry);
  std::vector<unsigned char> take_whole(Entry& entry);  // its one piece (none when empty)
  void hold(const std::shared_ptr<Entry>& entry);
  void place_ready();
  void place_front();  // waits for the oldest entry, then puts it in place
  void wait(std::unique_lock<std::mutex>& lock);
  void poll();

  RollbackJournal* journal_;
  std::function<void()> poll_;
  std::chrono::steady_clock::time_point last_poll_;  // walk thread only
  // Walk thread only: the entries and folder levels in hand, in archive order.
  std::deque<std::shared_ptr<Entry>> in_hand_;
  // The targets and work files of the entries in hand, case folded: no work file or folder may
  // take such a name, or putting that entry in place would meet it.
  std::unordered_multiset<std::string> names_in_hand_;
  bool broken_ = false;  // putting an entry in place failed
  // Folder levels this run made (the latest kMadeFolders), case folded.
  std::unordered_set<std::string> made_;

  std::mutex mutex_;
  std::condition_variable to_idle_;     // a waiting entry for an idle worker
  std::condition_variable to_feeding_;  // a piece for a worker inflating a large entry
  std::condition_variable to_walk_;     // queue room or a ready entry, while the walk waits
  std::deque<std::shared_ptr<Entry>> waiting_;  // not yet taken by a worker
  std::size_t queued_ = 0;                      // packed bytes waiting in pieces
  bool walk_waits_ = false;
  std::atomic<bool> cancel_{false};
  WorkerThreads workers_;
};

}  // namespace tarvik::unpack
