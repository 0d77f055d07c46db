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
  if (to_walk_.wait_for(lock, kPollEvery) == std::cv_status::timeout) {
    lock.unlock();
    poll_();
    lock.lock();
  }
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
    entry->temp = std::make_unique<WorkFile>(journal_, target, format::kTempSuffix);
  });
  in_hand_.push_back(entry);
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(entry);
  }
  to_workers_.notify_all();

  while (data.remaining() > 0) {
    poll_();
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
  std::shared_ptr<Entry> entry = in_hand_.front();
  {
    std::unique_lock lock(mutex_);
    while (!entry->ready) wait(lock);
  }
  in_hand_.pop_front();  // whatever happens next, the entry is through
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
