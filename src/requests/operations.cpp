#include "requests/operations.h"

#include <algorithm>

#include "browse/listing.h"
#include "format/messages.h"
#include "format/names.h"
#include "ops/checks.h"
#include "ops/journal.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "unpack/walk.h"

namespace tarvik::requests {

namespace {
std::uint64_t size_or_zero(const std::string& path) {
  try {
    return fs::file_size(path);
  } catch (const OsError&) {
    return 0;
  }
}

// Makes the target folder as `target` says; false (the message shown) when it cannot be made.
bool make_target(const UnpackJob& job, Operation& op) {
  if (job.target == Target::Existing || fs::is_directory(job.target_folder)) return true;
  try {
    if (job.target == Target::NewFolder) {
      // Journalled before it exists, withdrawn when it could not be made.
      const std::uint64_t mark = op.journal ? op.journal->mark() : 0;
      if (op.journal) op.journal->add_folder(job.target_folder);
      try {
        fs::create_directory(job.target_folder);
      } catch (...) {
        if (op.journal) op.journal->retract(mark);
        throw;
      }
    } else {
      CreateAllDir(format::join_path(job.target_folder, ""), op.journal);
    }
    return true;
  } catch (const OsError& e) {
    op.ui.show_message(msg::cannot_write(e.path(), e.reason()));
  } catch (const std::exception& e) {
    op.ui.show_message(msg::cannot_write(job.target_folder, e.what()));
  }
  return false;
}
}  // namespace

Outcome DirectDialog::run(const RunRequest& request, std::uint64_t total,
                          const std::function<Outcome(Operation&)>& operation) {
  ui_.set_progress(0);
  ui_.set_progress_max(total);
  return run_operation(request, ui_, operation);
}

Outcome pack(const Selection& selection, const PackOptions& options, OperationCode code,
             const std::string& caption_name, ProgressDialog& dialog) {
  return dialog.run({code, options.program_folder, caption_name}, SumSize(selection),
                    [&](Operation& op) { return UpakAll(selection, options, op); });
}

Outcome unpack(const UnpackJob& job, ProgressDialog& dialog, Ui& ui) {
  if (!check_before_extract(job.archive, ui)) return Outcome::EndProgram;
  return dialog.run(
      {job.code, job.program_folder, std::string(format::file_name_part(job.archive))},
      size_or_zero(job.archive), [&](Operation& op) {
        // Any folder: made level by level by the run, which takes it back when it fails.
        const bool any = job.target == Target::AnyFolder;
        if (!any && !make_target(job, op)) {
          op.abort = true;  // a level made before the failure goes again
          return Outcome::Failed;
        }
        return Raspakovka({job.archive, job.target_folder, /*create_target=*/any, job.threads}, op);
      });
}

Outcome extract_chosen(const ChosenJob& job, ProgressDialog& dialog, Ui& ui) {
  if (job.chosen_entries.empty()) {
    ui.show_message(msg::kNoArchiveChosen);
    return Outcome::Failed;
  }
  Outcome outcome = Outcome::Done;
  for (const std::string& entry : job.chosen_entries) {
    const bool checked = job.password_checked
                             ? archive_file_ok(job.archive, ui) && volume_checksum_ok(job.archive, ui)
                             : check_before_extract(job.archive, ui);
    if (!checked) return Outcome::EndProgram;
    const Outcome one = dialog.run(
        {OperationCode::ExtractChosen, job.program_folder,
         std::string(format::file_name_part(job.archive))},
        size_or_zero(job.archive), [&](Operation& op) {
          return Raspakovka2({job.archive, job.target_folder, job.browse_level, entry}, op);
        });
    if (one == Outcome::EndProgram) return one;
    if (one != Outcome::Done) outcome = Outcome::Failed;
  }
  if (outcome == Outcome::Done) ui.show_message(msg::kExtractionDone);
  return outcome;
}

Outcome self_extracting_start(const std::string& exe, const std::string& program_folder,
                              ProgressDialog& dialog, Ui& ui) {
  if (!self_extract_password_ok(exe, ui)) return Outcome::EndProgram;
  if (!volume_checksum_ok(exe, ui)) return Outcome::EndProgram;
  const Outcome outcome = dialog.run(
      {OperationCode::SelfExtract, program_folder, std::string(format::file_name_part(exe))},
      size_or_zero(exe), [&](Operation& op) { return Raspakovka_exe(exe, op); });
  if (outcome == Outcome::Done) {
    // Nothing else is shown of a self-extracting run: the user learns where the files went.
    const auto summary = summarize(exe);
    ui.show_message(msg::files_unpacked(summary ? summary->files : 0, format::folder_part(exe)));
  }
  return outcome;
}

std::optional<Outcome> run_if_self_extracting(const std::string& own_executable,
                                              const std::string& program_folder,
                                              ProgressDialog& dialog, Ui& ui) {
  if (ends_in_volume_tail(own_executable))
    return self_extracting_start(own_executable, program_folder, dialog, ui);
  if (!carries_damaged_archive(own_executable)) return std::nullopt;
  // A self-extracting archive whose end was cut off or changed says what is wrong instead of
  // acting as the plain program.
  ui.show_message(msg::damaged_archive(own_executable, msg::kSelfExtractingTailMissing));
  return Outcome::Failed;
}

void recover_first(const std::string& program_folder, Ui& ui) {
  recover_at_start(program_folder, ui);
}

Outcome test(const std::string& archive, Ui& ui) {
  if (!check_before_extract(archive, ui)) return Outcome::Failed;
  Operation op{ui};
  return test_archive(archive, op);
}

bool listing_allowed(const std::string& archive, Ui& ui) { return password_ok(archive, ui); }

Outcome extract_named(const NamedJob& job, ProgressDialog& dialog, Ui& ui) {
  if (!check_before_extract(job.archive, ui)) return Outcome::Failed;
  const browse::Listing listing = browse::list_level(job.archive, job.level, ui);
  if (listing.outcome != Outcome::Done) return listing.outcome;
  std::vector<std::string> chosen;
  for (const std::string& name : job.names) {
    const auto row = std::find_if(listing.rows.begin(), listing.rows.end(),
                                  [&](const browse::Row& r) { return r.name == name; });
    if (row == listing.rows.end()) {
      ui.show_message(msg::no_such_entry(name, job.level.empty() ? "\\" : job.level, job.archive));
      return Outcome::Failed;
    }
    chosen.push_back(browse::chosen_entry(*row));
  }
  const Outcome outcome = dialog.run(
      {OperationCode::ExtractChosen, job.program_folder,
       std::string(format::file_name_part(job.archive))},
      size_or_zero(job.archive), [&](Operation& op) {
        Outcome all = Outcome::Done;
        for (const auto& entry : chosen) {
          const Outcome one = Raspakovka2(
              {job.archive, job.target_folder, job.level, entry, /*abortable=*/true}, op);
          if (one != Outcome::Done) all = one;
          if (op.abort) break;  // Abort or a failure: the run is rolled back
        }
        return all;
      });
  if (outcome == Outcome::Done) ui.show_message(msg::kExtractionDone);
  return outcome;
}

namespace {
class CountingVisitor final : public unpack::RecordVisitor {
 public:
  void folder(const unpack::Record&) override {}
  void file(const unpack::Record&, unpack::EntryData&) override { ++files; }
  std::uint64_t files = 0;
};
}  // namespace

std::optional<ArchiveSummary> summarize(const std::string& first_volume) {
  try {
    SilentUi silent;
    unpack::WalkOptions options;
    options.first_volume = first_volume;
    options.self_extracting = ends_in_volume_tail(first_volume) && !fs::is_directory(first_volume) &&
                              format::fold_case(format::file_name_part(first_volume)).ends_with(".exe");
    options.later_checksums = unpack::LaterChecksums::Skip;
    CountingVisitor visitor;
    if (unpack::walk_archive(options, visitor, silent) != Outcome::Done) return std::nullopt;
    ArchiveSummary summary{visitor.files, size_or_zero(first_volume)};
    const std::string folder(format::folder_part(first_volume));
    std::string volume(format::file_name_part(first_volume));
    for (int number = 2; number <= 999; ++number) {
      volume = format::next_volume_file_name(volume, number);
      const std::string path = format::join_path(folder, volume);
      if (!fs::exists(path)) break;
      summary.bytes += size_or_zero(path);
    }
    return summary;
  } catch (...) {
    return std::nullopt;
  }
}

int exit_status(Outcome outcome) {
  switch (outcome) {
    case Outcome::Done:
      return kExitOk;
    case Outcome::Aborted:
      return kExitAborted;
    default:
      return kExitFailed;
  }
}

}  // namespace tarvik::requests
