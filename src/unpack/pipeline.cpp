#include "unpack/pipeline.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "ops/journal.h"
#include "ops/workers.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/ui.h"
#include "unpack/inflate.h"

namespace tarvik::unpack {

namespace {

constexpr auto kPollEvery = std::chrono::milliseconds(20);

}  // namespace

struct ExtractionPipeline::Entry {
  // A folder item: the levels made while the entries before it were in hand, outermost first.
  std::vector<std::string> levels;
  std::string stored_path;  // for messages
  std::string target;
  std::string time;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::uint64_t packed_size = 0;
  bool free_name = false;
  bool direct = false;  // written under the target's own name (WorkFile::exactly)
  std::unique_ptr<WorkFile> temp;  // made and dropped on the walk's thread only
  std::vector<std::string> names;  // in names_in_hand_ while held
  // Under the mutex.
  std::deque<std::vector<unsigned char>> pieces;
  bool fed = false;    // every packed byte was queued
  bool ready = false;  // the worker is through with it (error or not)
  std::exception_ptr error;
};

// The packed data of one entry as the walk queues them, for inflate_entry on a worker.
class ExtractionPipeline::QueueSource final : public PackedSource {
 public:
  QueueSource(ExtractionPipeline& pipeline, Entry& entry)
      : pipeline_(pipeline), entry_(entry), remaining_(entry.packed_size) {}
  std::uint64_t remaining() const override { return remaining_; }
  std::size_t next(const unsigned char*& piece) override {
    {
      std::unique_lock lock(pipeline_.mutex_);
      pipeline_.to_feeding_.wait(
          lock, [&] { return pipeline_.cancel_ || !entry_.pieces.empty(); });
      if (pipeline_.cancel_) throw Cancelled{};
      current_ = std::move(entry_.pieces.front());
      entry_.pieces.pop_front();
      pipeline_.queued_ -= current_.size();
      if (pipeline_.walk_waits_) pipeline_.to_walk_.notify_one();
    }
    remaining_ -= current_.size();
    piece = current_.data();
    return current_.size();
  }

 private:
  ExtractionPipeline& pipeline_;
  Entry& entry_;
  std::uint64_t remaining_;
  std::vector<unsigned char> current_;
};

ExtractionPipeline::ExtractionPipeline(unsigned threads, RollbackJournal* journal,
                                       std::function<void()> poll)
    : journal_(journal), poll_(std::move(poll)) {
  workers_.start(worker_count(threads), [this] { work(); }, [this] { stop(); });
}

void ExtractionPipeline::stop() {
  {
    std::lock_guard lock(mutex_);
    cancel_ = true;
  }
  to_idle_.notify_all();
  to_feeding_.notify_all();
}

ExtractionPipeline::~ExtractionPipeline() {
  stop();
  workers_.join();
  // What is still in hand goes now, newest first: the work files are deleted, then the folder
  // levels that an extraction one entry after the other would not have reached.
  for (auto it = in_hand_.rbegin(); it != in_hand_.rend(); ++it) {
    Entry& entry = **it;
    entry.temp.reset();
    for (auto level = entry.levels.rbegin(); level != entry.levels.rend(); ++level)
      fs::remove_directory(*level);
  }
}

void ExtractionPipeline::work() {
  std::vector<unsigned char> block(std::max(kInflatedBlock, kWholeInflated));
  WholeInflater whole;
  for (;;) {
    std::shared_ptr<Entry> entry;
    {
      std::unique_lock lock(mutex_);
      to_idle_.wait(lock, [&] { return cancel_ || !waiting_.empty(); });
      if (cancel_) return;
      entry = waiting_.front();
      waiting_.pop_front();
    }
    std::exception_ptr error;
    try {
      QueueSource source(*this, *entry);
      InflateHooks hooks;
      hooks.after_block = [this] {
        if (cancel_) throw Cancelled{};
      };
      File& file = entry->temp->file();
      if (is_whole(*entry)) {
        // Its data came in one piece with it: no waiting.
        std::vector<unsigned char> packed = take_whole(*entry);
        if (whole.inflate(packed.data(), packed.size(), block.data(),
                          static_cast<std::size_t>(entry->size))) {
          if (entry->size > 0) file.write(block.data(), static_cast<std::size_t>(entry->size));
          hooks.after_block();
        } else {
          MemorySource again(packed.data(), packed.size());
          inflate_entry(again, entry->size, &file, hooks, block.data(), kInflatedBlock);
        }
      } else {
        inflate_entry(source, entry->size, &file, hooks, block.data(), kInflatedBlock);
      }
      stamp(file, entry->time);
      file.close();
    } catch (const Cancelled&) {
      return;
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      entry->error = error;
      entry->ready = true;
      // The walk holds the entry until it sees it ready: its work file, which reaches the
      // journal, is never dropped on a worker.
      entry.reset();
      if (walk_waits_) to_walk_.notify_one();
    }
  }
}

bool ExtractionPipeline::is_whole(const Entry& entry) {
  return entry.packed_size <= kPackedPiece && entry.size <= kWholeInflated;
}

std::vector<unsigned char> ExtractionPipeline::take_whole(Entry& entry) {
  std::lock_guard lock(mutex_);
  std::vector<unsigned char> packed;
  for (auto& piece : entry.pieces) {  // one piece but for a short read of the chain
    if (packed.empty()) {
      packed = std::move(piece);
    } else {
      packed.insert(packed.end(), piece.begin(), piece.end());
    }
  }
  entry.pieces.clear();
  queued_ -= packed.size();
  if (walk_waits_) to_walk_.notify_one();
  return packed;
}

void ExtractionPipeline::wait(std::unique_lock<std::mutex>& lock) {
  // Workers wake the walk only while it waits; the poll goes by the clock, not by the
  // wake-ups, so an Abort is seen while the walk waits however busy they are.
  walk_waits_ = true;
  to_walk_.wait_for(lock, kPollEvery);
  walk_waits_ = false;
  if (std::chrono::steady_clock::now() - last_poll_ >= kPollEvery) {
    lock.unlock();
    poll();
    lock.lock();
  }
}

void ExtractionPipeline::poll() {
  last_poll_ = std::chrono::steady_clock::now();
  poll_();
}

void ExtractionPipeline::hold(const std::shared_ptr<Entry>& entry) {
  in_hand_.push_back(entry);
  for (const auto& name : entry->names) names_in_hand_.insert(name);
}

void ExtractionPipeline::add(const Record& record, EntryData& data, const std::string& target,
                             bool free_name) {
  if (in_hand_.size() >= kEntriesInHand) place_front();
  place_ready();

  auto entry = std::make_shared<Entry>();
  entry->stored_path = record.path;
  entry->target = target;
  entry->time = record.file.time;
  entry->attributes = record.attributes;
  entry->size = record.file.size;
  entry->packed_size = data.remaining();
  std::string folded_target = format::fold_case(target);
  // An earlier entry of the same name goes into place first: this one will meet it.
  entry->free_name = free_name && !names_in_hand_.contains(folded_target);
  const bool own_folder = made_.contains(format::fold_case(format::folder_part(target)));
  journalled(target, [&] {
    // A free name in a folder this run made: the entry is written under its own name (nothing
    // of anybody else's can be there, and the journal names it before it is made).
    if (entry->free_name && own_folder) entry->temp = WorkFile::exactly(journal_, target);
    entry->direct = entry->temp != nullptr;
    if (!entry->direct)
      entry->temp = std::make_unique<WorkFile>(
          journal_, target, format::kTempSuffix,
          [this](const std::string& name) { return names_in_hand_.contains(format::fold_case(name)); },
          own_folder);
  });
  entry->names = {format::fold_case(entry->temp->path())};
  if (!entry->direct) entry->names.push_back(std::move(folded_target));
  hold(entry);

  // A small entry goes to the workers with all its data; a large one as soon as it is known,
  // its data following piece by piece.
  // (Those that is_whole() takes are among the small ones.)
  const bool whole = entry->packed_size <= kPackedPiece;
  if (!whole) {
    {
      std::lock_guard lock(mutex_);
      waiting_.push_back(entry);
    }
    to_idle_.notify_one();
  }
  do {
    poll();
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(kPackedPiece, data.remaining())));
    if (!piece.empty()) piece.resize(data.read(piece.data(), piece.size()));
    {
      std::unique_lock lock(mutex_);
      while (queued_ > 0 && queued_ + piece.size() > kQueuedPacked) wait(lock);
      queued_ += piece.size();
      if (!piece.empty()) entry->pieces.push_back(std::move(piece));
      if (data.remaining() == 0) entry->fed = true;
      if (whole && entry->fed) waiting_.push_back(entry);
    }
    if (!whole) {
      to_feeding_.notify_all();
    } else if (entry->fed) {
      to_idle_.notify_one();
    }
  } while (data.remaining() > 0);
  place_ready();
}

void ExtractionPipeline::before_folder(const std::string& folder) {
  if (names_in_hand_.empty()) return;
  const std::string name = format::fold_case(folder);
  for (std::size_t end = name.find('\\'); ; end = name.find('\\', end + 1)) {
    const std::string level = name.substr(0, end);
    if (!level.empty() && names_in_hand_.contains(level)) {
      drain();
      return;
    }
    if (end == std::string::npos) return;
  }
}

fs::NameKind ExtractionPipeline::name_kind(const std::string& target) const {
  const std::string name = format::fold_case(target);
  if (!made_.contains(name) && made_.contains(format::fold_case(format::folder_part(target))))
    return fs::NameKind::Free;
  return fs::name_kind(target);
}

void ExtractionPipeline::folders_made(std::vector<std::string> levels) {
  if (made_.size() + levels.size() > kMadeFolders) made_.clear();
  for (const auto& level : levels) made_.insert(format::fold_case(level));
  // Nothing in hand could fail before them: they stay whatever comes.
  if (levels.empty() || in_hand_.empty()) return;
  auto item = std::make_shared<Entry>();
  item->levels = std::move(levels);
  item->fed = true;
  item->ready = true;
  hold(item);
}

void ExtractionPipeline::place_front() {
  poll();  // as between the entries of an extraction one after the other
  std::shared_ptr<Entry> entry = in_hand_.front();
  {
    std::unique_lock lock(mutex_);
    while (!entry->ready) wait(lock);
  }
  in_hand_.pop_front();  // whatever happens next, the entry is through
  for (const auto& name : entry->names) names_in_hand_.erase(names_in_hand_.find(name));
  if (!entry->temp) return;  // folder levels: made already
  try {
    if (entry->error) {
      try {
        std::rethrow_exception(entry->error);
      } catch (const EntryDamaged& damage) {
        throw EntryDamaged{damage.reason, entry->stored_path};
      }
    }
    if (entry->direct) {
      finish_in_place(*entry->temp, entry->target, entry->attributes);
    } else {
      put_in_place(*entry->temp, entry->target, entry->attributes, journal_, entry->free_name);
    }
  } catch (...) {
    broken_ = true;
    throw;
  }
}

void ExtractionPipeline::place_ready() {
  while (!in_hand_.empty()) {
    {
      std::lock_guard lock(mutex_);
      if (!in_hand_.front()->ready) return;
    }
    place_front();
  }
}

void ExtractionPipeline::drain() {
  while (!in_hand_.empty()) place_front();
}

}  // namespace tarvik::unpack
