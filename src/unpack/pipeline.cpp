#include "unpack/pipeline.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "format/layout.h"
#include "format/messages.h"
#include "ops/journal.h"
#include "ops/workers.h"
#include "platform/error.h"
#include "platform/ui.h"
#include "unpack/inflate.h"

namespace tarvik::unpack {

namespace {

constexpr auto kPollEvery = std::chrono::milliseconds(20);

// A path with the letters of the archive's code page in lower case (Latin and Cyrillic), so that
// names Windows takes for the same file compare equal.
std::string folded(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if ((c & 0xE0) == 0xC0 && i + 1 < path.size()) {
      char32_t cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(path[i + 1]) & 0x3Fu);
      if (cp >= 0x410 && cp <= 0x42F) {
        cp += 0x20;  // А..Я
      } else if (cp >= 0x400 && cp <= 0x40F) {
        cp += 0x50;  // Ѐ..Џ: Ё, Є, І, Ї, Ў ...
      } else if (cp == 0x490) {
        cp = 0x491;  // Ґ
      }
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

struct ExtractionPipeline::Entry {
  std::string stored_path;  // for messages
  std::string target;
  std::string time;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::uint64_t packed_size = 0;
  std::unique_ptr<WorkFile> temp;  // made and dropped on the walk's thread only
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
      pipeline_.to_workers_.wait(
          lock, [&] { return pipeline_.cancel_ || !entry_.pieces.empty(); });
      if (pipeline_.cancel_) throw Cancelled{};
      current_ = std::move(entry_.pieces.front());
      entry_.pieces.pop_front();
      pipeline_.queued_ -= current_.size();
    }
    pipeline_.to_walk_.notify_all();
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
  const unsigned n = worker_count(threads);
  workers_.reserve(n);
  try {
    for (unsigned i = 0; i < n; ++i) workers_.emplace_back([this] { work(); });
  } catch (...) {
    cancel_ = true;
    to_workers_.notify_all();
    for (auto& t : workers_) t.join();
    throw;
  }
}

ExtractionPipeline::~ExtractionPipeline() {
  {
    std::lock_guard lock(mutex_);
    cancel_ = true;
  }
  to_workers_.notify_all();
  for (auto& t : workers_) t.join();
  // The entries in hand go now: their work files are deleted.
}

void ExtractionPipeline::work() {
  std::vector<unsigned char> block(kInflatedBlock);
  for (;;) {
    std::shared_ptr<Entry> entry;
    {
      std::unique_lock lock(mutex_);
      to_workers_.wait(lock, [&] { return cancel_ || !waiting_.empty(); });
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
      inflate_entry(source, entry->size, &entry->temp->file(), hooks, block.data(), block.size());
      entry->temp->file().close();
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
    }
    to_walk_.notify_all();
  }
}

void ExtractionPipeline::wait(std::unique_lock<std::mutex>& lock) {
  // Workers wake the walk often (each piece they take): the poll goes by the clock, not by
  // the wake-ups, so an Abort is seen while the walk waits however busy they are.
  to_walk_.wait_for(lock, kPollEvery);
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

void ExtractionPipeline::add(const Record& record, EntryData& data, const std::string& target) {
  if (in_hand_.size() >= kEntriesInHand) place_front();
  place_ready();

  auto entry = std::make_shared<Entry>();
  entry->stored_path = record.path;
  entry->target = target;
  entry->time = record.file.time;
  entry->attributes = record.attributes;
  entry->size = record.file.size;
  entry->packed_size = data.remaining();
  journalled(target, [&] {
    entry->temp = std::make_unique<WorkFile>(
        journal_, target, format::kTempSuffix,
        [this](const std::string& name) { return targets_in_hand_.contains(folded(name)); });
  });
  in_hand_.push_back(entry);
  targets_in_hand_.insert(folded(target));
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(entry);
  }
  to_workers_.notify_all();

  while (data.remaining() > 0) {
    poll();
    std::vector<unsigned char> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(kPackedPiece, data.remaining())));
    piece.resize(data.read(piece.data(), piece.size()));
    {
      std::unique_lock lock(mutex_);
      while (queued_ > 0 && queued_ + piece.size() > kQueuedPacked) wait(lock);
      queued_ += piece.size();
      entry->pieces.push_back(std::move(piece));
      if (data.remaining() == 0) entry->fed = true;
    }
    to_workers_.notify_all();
  }
  if (entry->packed_size == 0) {
    std::lock_guard lock(mutex_);
    entry->fed = true;
  }
  place_ready();
}

void ExtractionPipeline::place_front() {
  poll();  // as between the entries of an extraction one after the other
  std::shared_ptr<Entry> entry = in_hand_.front();
  {
    std::unique_lock lock(mutex_);
    while (!entry->ready) wait(lock);
  }
  in_hand_.pop_front();  // whatever happens next, the entry is through
  targets_in_hand_.erase(targets_in_hand_.find(folded(entry->target)));
  try {
    if (entry->error) {
      try {
        std::rethrow_exception(entry->error);
      } catch (const EntryDamaged& damage) {
        throw EntryDamaged{damage.reason, entry->stored_path};
      }
    }
    put_in_place(*entry->temp, entry->target, entry->time, entry->attributes, journal_);
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

void ExtractionPipeline::finish_after_failure(Ui& ui) {
  if (broken_) return;
  try {
    while (!in_hand_.empty()) {
      {
        std::lock_guard lock(mutex_);
        if (!in_hand_.front()->fed) return;
      }
      place_front();
    }
  } catch (const EntryDamaged& damage) {
    ui.show_message(msg::damaged_entry(damage.entry, damage.reason));
  } catch (const OsError& error) {
    ui.show_message(msg::cannot_write(error.path(), error.reason()));
  } catch (const WriteFailure& error) {
    ui.show_message(msg::cannot_write(error.path, error.reason));
  } catch (const std::bad_alloc&) {
    ui.show_message(msg::cannot_write(in_hand_.empty() ? "" : in_hand_.front()->target,
                                      "недостаточно памяти"));
  } catch (const AbortRequested&) {
    // The abort flag is set: the runner rolls back.
  }
}

}  // namespace tarvik::unpack
