// Makes the seed corpus of the fuzz targets with the project's own packer: small folders
// packed plain, with a password, in volumes of 1 KB, and self-extracting (with a small stand-in
// stub), and journals written by the journal itself. Usage: make_seeds CORPUS_FOLDER
// (corpus/<target>/<seed> below it).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "format/names.h"
#include "fuzz_support.h"
#include "ops/journal.h"
#include "ops/runner.h"
#include "pack/packer.h"
#include "platform/fs.h"

using namespace tarvik;
namespace stdfs = std::filesystem;

namespace {

std::string read_all(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_all(const stdfs::path& path, const std::string& bytes) {
  stdfs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string noise(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A small tree: a folder with a subfolder, text, an empty file, incompressible bytes.
void make_tree(const stdfs::path& root, std::size_t noise_bytes) {
  write_all(root / "docs" / "readme.txt", "Tarvik seed: hello, hello, hello.\n");
  write_all(root / "docs" / "sub" / "empty.bin", "");
  write_all(root / "docs" / "Отчёт.txt", "Итоги года\n");
  write_all(root / "data.bin", noise(noise_bytes, 7));
  write_all(root / "top.txt", "top");
}

// Packs `items` of `shown` and returns the volumes, first first.
std::vector<std::string> pack(const stdfs::path& shown, const stdfs::path& program,
                              const PackOptions& base, const std::vector<std::string>& items) {
  Selection selection{fs::from_native(shown), items};
  PackOptions options = base;
  options.program_folder = fs::from_native(program);
  fuzz::FuzzUi ui;
  const Outcome outcome = run_operation(
      {OperationCode::PackRequest, options.program_folder, options.archive_name}, ui,
      [&](Operation& op) { return UpakAll(selection, options, op); });
  if (outcome != Outcome::Done) {
    std::fprintf(stderr, "make_seeds: packing %s failed\n", options.archive_name.c_str());
    std::exit(1);
  }
  std::vector<std::string> volumes;
  for (int n = 1;; ++n) {
    const std::string path = format::volume_file_name(
        selection.shown_folder, options.archive_name, {options.multi_volume, options.self_extracting}, n);
    const auto native = fs::to_native(path);
    if (!native || !stdfs::exists(*native)) break;
    volumes.push_back(read_all(*native));
    if (!options.multi_volume) break;
  }
  return volumes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds CORPUS_FOLDER\n");
    return 2;
  }
  const stdfs::path corpus = argv[1];
  const stdfs::path work = stdfs::temp_directory_path() / "tarvik-make-seeds";
  stdfs::remove_all(work);
  const stdfs::path shown = work / "shown";
  const stdfs::path program = work / "program";
  stdfs::create_directories(program);
  make_tree(shown, 2500);
  write_all(program / "Tarvik.sfx", "MZ stand-in stub of a self-extracting archive\n");

  struct Seed {
    const char* name;
    PackOptions options;
    std::vector<std::string> items;
  };
  PackOptions plain;
  plain.archive_name = "plain";
  PackOptions locked = plain;
  locked.archive_name = "locked";
  locked.password = std::string(fuzz::kSeedPassword);
  PackOptions volumes = plain;
  volumes.archive_name = "volumes";
  volumes.multi_volume = true;
  volumes.volume_size_kb = "1";
  PackOptions sfx = plain;
  sfx.archive_name = "sfx";
  sfx.self_extracting = true;
  PackOptions sfx_volumes = volumes;
  sfx_volumes.archive_name = "sfxvol";
  sfx_volumes.self_extracting = true;
  sfx_volumes.password = std::string(fuzz::kSeedPassword);
  PackOptions small = plain;
  small.archive_name = "small";
  // Encrypted with one PBKDF2 round, so that a run of the fuzzers derives the key quickly.
  PackOptions encrypted = volumes;
  encrypted.archive_name = "encrypted";
  encrypted.encrypt = true;
  encrypted.key_iterations = 1;
  encrypted.password = std::string(fuzz::kSeedPassword);
  PackOptions sfx_encrypted = encrypted;
  sfx_encrypted.archive_name = "sfxenc";
  sfx_encrypted.multi_volume = false;
  sfx_encrypted.self_extracting = true;

  const Seed archives[] = {
      {"plain", plain, {"docs", "top.txt"}},
      {"locked", locked, {"top.txt", "docs"}},
      {"volumes", volumes, {"data.bin", "docs", "top.txt"}},
      {"small", small, {"top.txt"}},
      {"encrypted", encrypted, {"data.bin", "docs", "top.txt"}},
  };
  const Seed self_extracting[] = {
      {"sfx", sfx, {"docs", "top.txt"}},
      {"sfxvol", sfx_volumes, {"data.bin", "top.txt"}},
      {"sfxenc", sfx_encrypted, {"docs", "top.txt"}},
  };
  for (const auto& seed : archives) {
    const auto bytes = pack(shown, program, seed.options, seed.items);
    for (const char* target : {"fields", "chain", "listing", "test", "extract"}) {
      write_all(corpus / target / seed.name, fuzz::join(1, bytes));
    }
  }
  for (const auto& seed : self_extracting) {
    const auto bytes = pack(shown, program, seed.options, seed.items);
    write_all(corpus / "self_extract" / seed.name, fuzz::join(1, bytes));
  }

  // Journals as the journal writes them: files, folders, a replaced file.
  {
    const std::string path = fs::from_native(program / "journal.tmp");
    RollbackJournal journal(path);
    journal.add_folder("C:\\Work\\docs\\");
    journal.add_file("C:\\Work\\docs\\readme.txt");
    journal.add_replaced("C:\\Work\\top.txt", "C:\\Work\\top.txt.tzb");
    journal.add_file("C:\\Work\\Отчёт.txt");
    write_all(corpus / "journal" / "entries", read_all(program / "journal.tmp"));
  }
  stdfs::remove_all(work);
  return 0;
}
