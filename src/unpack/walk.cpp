#include "unpack/walk.h"

#include <new>

#include "format/encryption.h"
#include "format/layout.h"
#include "format/messages.h"
#include "ops/archive_keys.h"
#include "ops/checks.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "unpack/inflate.h"

namespace tarvik::unpack {

namespace {

constexpr std::string_view kFirstVolumeNumber = "001";

}  // namespace

Outcome walk_archive(const WalkOptions& options, RecordVisitor& visitor, Ui& ui) {
  bool failed = false;
  VolumeChain::Options chain_options;
  chain_options.self_extracting = options.self_extracting;
  chain_options.later_checksums = options.later_checksums;
  chain_options.ui = &ui;
  chain_options.progress = options.show_progress ? &ui : nullptr;
  chain_options.report = [&](const std::string& path) {
    ui.show_message(msg::damaged_archive(path, std::string(msg::kVolumeChecksumDiffers)));
    failed = true;
  };

  std::optional<VolumeChain> chain;
  std::string entry;  // the stored path of the entry in hand, for messages
  try {
    chain.emplace(options.first_volume, chain_options);
    if (!ReadVersion(chain->read_version(), ui)) return Outcome::EndProgram;
    chain->check_first_tail();
    format::FieldReader header_reader = chain->fields();
    const format::Header header = format::read_header(header_reader);
    if (options.not_first_message && header.volume_number != kFirstVolumeNumber) {
      ui.show_message(*options.not_first_message);
      return Outcome::Failed;
    }
    // An encrypted archive: the key its password check accepted decrypts the files, numbered in
    // record order.
    std::optional<format::Encryption> encryption;
    std::optional<crypto::GcmKey> key;
    if (format::is_encrypted_version(header.version)) {
      encryption = format::read_encryption_block(header_reader);
      if (const auto known = remembered_key(*encryption)) key.emplace(*known);
    }
    std::uint64_t file_number = 0;

    while (true) {
      if (chain->at_data_end()) {
        if (!chain->continued()) break;
        chain->next_volume();
        continue;
      }
      entry.clear();
      format::FieldReader reader = chain->fields();
      const char tag = reader.raw(format::kTagWidth)[0];
      if (tag == format::kEndTag)
        throw format::FormatError(std::string(msg::kEndMarkBeforeTail));
      const format::EntryHead head = format::read_entry_head(reader, tag);
      Record record;
      record.tag = tag;
      record.path = codepage::from_archive(head.path);
      record.attributes = head.attributes;
      entry = record.path;
      if (record.is_file()) record.file = format::read_file_fields(reader);

      std::optional<EntryData> data;
      if (record.is_file() && !encryption) data.emplace(*chain, record.file.packed_size);
      if (record.is_file() && encryption) {
        std::optional<EntryCipher> cipher;
        ++file_number;
        if (key)
          cipher = EntryCipher{&*key, file_number, format::file_aad(head.path, record.file.size)};
        data.emplace(*chain, record.file.packed_size, std::move(cipher));
      }
      try {
        const auto relative = format::relative_path(header.source_folder, head.path);
        if (!relative) throw EntryDamaged{std::string(msg::kEntryOutsideSource)};
        record.relative = codepage::from_archive(*relative);
        if (data) {
          visitor.file(record, *data);
        } else {
          visitor.folder(record);
        }
      } catch (const EntryDamaged& damage) {
        // Encrypted data that do not inflate were changed: say so when their tag says so.
        const bool changed = damage.entry.empty() && data && !data->authentic();
        ui.show_message(msg::damaged_entry(damage.entry.empty() ? entry : damage.entry,
                                           changed ? msg::kDataNotAuthentic : damage.reason));
        failed = true;
        if (!visitor.go_on_after_damage()) return Outcome::Failed;
      }
      if (data) data->skip_rest();
      visitor.after_record(*chain);
      if (visitor.enough()) break;
    }
    entry.clear();
    try {
      visitor.end_of_records();
    } catch (const EntryDamaged& damage) {
      ui.show_message(msg::damaged_entry(damage.entry, damage.reason));
      return Outcome::Failed;
    }
  } catch (const format::FormatError& error) {
    const std::string& volume = chain ? chain->volume_path() : options.first_volume;
    ui.show_message(entry.empty() ? msg::damaged_archive(volume, error.what())
                                  : msg::damaged_entry(entry, error.what()));
    return Outcome::Failed;
  } catch (const VolumeDamaged& damage) {
    ui.show_message(msg::damaged_archive(damage.path, damage.reason));
    return Outcome::Failed;
  } catch (const VolumeMissing& missing) {
    ui.show_message(msg::next_volume_missing(missing.path));
    return Outcome::EndProgram;
  } catch (const VolumeChecksumBad&) {
    ui.show_message(msg::kChecksumError);
    return Outcome::EndProgram;
  } catch (const AbortRequested&) {
    return Outcome::Aborted;
  } catch (const OsError& error) {
    const bool volume =
        error.path() == options.first_volume || (chain && error.path() == chain->reading_path());
    ui.show_message(volume ? msg::cannot_read(error.path(), error.reason())
                           : msg::cannot_write(error.path(), error.reason()));
    return Outcome::Failed;
  } catch (const WriteFailure& error) {
    ui.show_message(msg::cannot_write(error.path, error.reason));
    return Outcome::Failed;
  } catch (const std::bad_alloc&) {
    ui.show_message(msg::cannot_write(entry, std::string(msg::kNotEnoughMemoryReason)));
    return Outcome::Failed;
  } catch (const std::exception& error) {  // any other Error carries its own words
    ui.show_message(error.what());
    return Outcome::Failed;
  }
  return failed || visitor.failed() ? Outcome::Failed : Outcome::Done;
}

}  // namespace tarvik::unpack
