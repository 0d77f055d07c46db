// The bytes of a volume: header, records, size fields, tails, journal entries, checksums,
// and the reader's refusal of damaged fields.
#include <gtest/gtest.h>

#include "format/crc.h"
#include "format/fields.h"
#include "format/journal_entry.h"
#include "format/layout.h"
#include "format/password.h"
#include "format/records.h"
#include "format/time_text.h"
#include "test_support.h"

using namespace std::string_literals;
namespace f = tarvik::format;


// a.txt holding "hello", packed from C:\Work: one volume of 151 bytes.
TEST(VolumeBytes, WorkedExample) {
  std::string packed = tarvik::test::zlib_of("hello");
  ASSERT_EQ(packed.size(), 13u);
  std::string volume = f::header_bytes("C:\\Work");
  volume += f::file_record_head("C:\\Work\\a.txt", 32, "08.12.2026 14:05");
  volume += f::size_fields(5, packed.size());
  volume += packed;
  f::Tail tail;
  tail.first_volume = true;
  tail.password_record = f::password_record("", "14:05:09", 'q', '7');
  volume += f::tail_bytes(tail);
  f::Crc32 crc;
  crc.update(volume);
  volume += f::crc_text(crc.value());
  ASSERT_EQ(volume.size(), 151u);

  std::string expected = "KZV V1.0\0 "s + volume.substr(10, 24) + "001" + "7\0 "s + "C:\\Work" +
                         "F" + "13\0"s + "C:\\Work\\a.txt" + "32" + "08.12.2026 14:05" + "1\0"s +
                         "5" + "NA==" + "MTM=" + packed + "E" + "K*)";
  EXPECT_EQ(volume.substr(0, expected.size()), expected);
  EXPECT_EQ(volume.substr(10, 24), f::kNotice);
  // The coded time text: length character, the two random characters, the rest; NUL; spaces.
  std::string coded = volume.substr(expected.size(), 30);
  EXPECT_EQ(coded.substr(1, 2), "q7");
  EXPECT_EQ(f::decode_text(f::field_text(coded)), "14:05:09");
  EXPECT_EQ(volume.substr(140, 3), "D{A");
  EXPECT_EQ(volume[151 - 45], 'E');
  EXPECT_EQ(packed.substr(0, 2), "\x78\x9c");
  EXPECT_EQ(static_cast<unsigned char>(packed.back()), 0x15);
}

TEST(VolumeBytes, SizeFields) {
  EXPECT_EQ(f::size_fields(5000, 1234), "4\0"s "5000" "OA==" "MTIzNA==");
  EXPECT_EQ(f::size_fields(0, 8), "1\0"s "0" "NA==" "OA==");
  // Ten or more digits: two digits, no NUL; seven-digit compressed sizes take 12 characters.
  EXPECT_EQ(f::size_fields(1234567890, 1234567), "10" "1234567890" "MTI=" "MTIzNDU2Nw==");
}

TEST(VolumeBytes, AttributeWordsMaskedToMeaningfulBits) {
  struct Case {
    std::uint32_t word;
    std::string text;
  } cases[] = {{32, "32"}, {16, "16"}, {33, "33"}, {39, "39"}, {128, "0"}, {0x2020, "32"},
               {0x80 | 1, "1"}, {0x400 | 16, "16"}};
  for (const auto& c : cases) {
    EXPECT_EQ(f::attributes_text(c.word), c.text) << c.word;
    EXPECT_LE(f::attributes_text(c.word).size(), f::kAttributesWidth);
  }
}

TEST(VolumeBytes, FolderRecordAndTails) {
  EXPECT_EQ(f::folder_record("C:\\d\\sub", 16), "G" "8\0 "s "C:\\d\\sub" "16");
  std::string record(33, 'p');
  f::Tail later{false, std::nullopt, "", false};
  EXPECT_EQ(f::tail_bytes(later), "ED{A");
  f::Tail continued{true, 123456, record, true};
  EXPECT_EQ(f::tail_bytes(continued), "E" "123456\0   "s + record + "D{C");
  EXPECT_EQ(f::tail_bytes(continued).size() + f::kChecksumWidth, f::kSelfExtractingTailBytes);
  EXPECT_EQ(f::tail_length(false, false), 12u);
  EXPECT_EQ(f::tail_length(true, false), 45u);
  EXPECT_EQ(f::tail_length(true, true), 55u);
}

TEST(TimeText, MinutesAndMidnight) {
  EXPECT_EQ(f::time_text({2026, 12, 8, 14, 5, 9}), "08.12.2026 14:05");
  EXPECT_EQ(f::time_text({2026, 1, 2, 3, 4, 59}), "02.01.2026 03:04");  // dropped, not rounded
  EXPECT_EQ(f::time_text({2026, 12, 8, 0, 0, 0}), "08.12.2026");
  EXPECT_EQ(f::time_text({2026, 12, 8, 0, 0, 1}), "08.12.2026 00:00");
  EXPECT_EQ(f::fixed_field(f::time_text({2026, 12, 8, 0, 0, 0}), 16), "08.12.2026\0     "s);
  EXPECT_EQ(f::parse_time_text("08.12.2026 14:05"), (tarvik::fs::LocalTime{2026, 12, 8, 14, 5, 0}));
  EXPECT_EQ(f::parse_time_text("08.12.2026"), (tarvik::fs::LocalTime{2026, 12, 8, 0, 0, 0}));
  for (const char* bad : {"", "8.12.2026 14:05", "08.13.2026 14:05", "08.12.2026 24:00",
                          "08/12/2026 14:05", "08.12.2026 14.05", "08.12.2026x14:05"})
    EXPECT_FALSE(f::parse_time_text(bad)) << bad;
}

TEST(Journal, EntriesReadBackwards) {
  auto eight = f::journal_entry('F', "C:\\a.txt");  // 8-character path
  ASSERT_TRUE(eight);
  EXPECT_EQ(*eight, "F<C:\\a.txt>11\0"s);
  EXPECT_EQ(eight->size(), 14u);
  auto six = f::journal_entry('G', "C:\\ab\\");
  EXPECT_EQ(*six, "G<C:\\ab\\>9\0 "s);
  EXPECT_EQ(f::parse_journal_length("11\0"s), 11u);
  EXPECT_EQ(f::parse_journal_length("9\0 "s), 9u);
  EXPECT_FALSE(f::journal_entry('F', std::string(997, 'x')));
  for (std::string bad : {"abc"s, "2\0 "s, "\0\0\0"s, "1000"s})
    EXPECT_FALSE(f::parse_journal_length(bad));
}

// A record is one entry of the plain form while its path fits; a longer path goes in pieces,
// a replaced file takes two entries, and every path comes back byte for byte.
TEST(Journal, RecordsHoldEveryPathExactly) {
  const std::string long_path = "C:\\" + std::string(600, 'a') + " " + std::string(1500, 'b');
  struct Case {
    char tag;
    std::string path;
    std::string aside;
  };
  const Case cases[] = {
      {'F', "C:\\a.txt", ""},
      {'G', "C:\\ab\\", ""},
      {'F', std::string("C:\\") + std::string(993, 'x'), ""},  // 996: the most one entry holds
      {'F', std::string("C:\\") + std::string(994, 'x'), ""},  // 997: two entries
      {'F', long_path, ""},
      {'R', "C:\\notes.txt", "C:\\notes.txt.tzb"},
      {'R', long_path, long_path + ".tzb"},
  };
  std::string journal;
  for (const auto& c : cases) {
    auto bytes = c.tag == 'R' ? f::journal_replaced(c.path, c.aside) : f::journal_record(c.tag, c.path);
    ASSERT_TRUE(bytes) << c.path.size();
    journal += *bytes;
  }
  EXPECT_EQ(f::journal_record('F', "C:\\a.txt"), "F<C:\\a.txt>11\0"s);
  EXPECT_EQ(f::journal_replaced("C:\\a", "C:\\b"), "R<C:\\a>7\0 A<C:\\b>7\0 "s);
  auto records = f::parse_journal(journal);
  ASSERT_EQ(records.size(), std::size(cases));
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].tag, cases[i].tag) << i;
    EXPECT_EQ(records[i].path, cases[i].path) << i;
    EXPECT_EQ(records[i].aside, cases[i].aside) << i;
  }
  // Paths an entry cannot hold as they are: refused, never cut.
  for (std::string bad : {"C:\\notes "s, " C:\\x"s, "C:\\a>b"s, "C:\\x\t"s, ""s,
                          "C:\\" + std::string(2000, ' ') + "x"})
    EXPECT_FALSE(f::journal_record('F', bad)) << bad;
}

// Reading stops at the first entry that is not whole: what its writer was appending when it
// died names nothing that exists yet.
TEST(Journal, ReadingStopsAtATornEnd) {
  const std::string good = "F<C:\\a.txt>11\0"s + "G<C:\\ab\\>9\0 "s;
  for (std::string tail : {""s, "xyz"s, "999"s, "F<C:\\b>"s, "F<C:\\b>7"s, "F<C:\\b>9\0 "s,
                           "1\0 "s, "R<C:\\r>7\0 "s, "+<C:\\piece>11\0"s, "A<C:\\b>7\0 "s}) {
    auto records = f::parse_journal(good + tail);
    ASSERT_EQ(records.size(), 2u) << tail;
    EXPECT_EQ(records[1].path, "C:\\ab\\");
  }
}

// The register update, one byte at a time through the 256-entry table.
static std::uint32_t table_crc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  static std::uint32_t table[256];
  static bool built = false;
  if (!built) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    built = true;
  }
  for (std::size_t i = 0; i < n; ++i) crc = (crc >> 8) ^ table[(crc ^ p[i]) & 0xFF];
  return crc;
}

TEST(Checksum, ZlibEqualsTheTableDrivenDefinition) {
  std::string data;
  for (int i = 0; i < 40000; ++i) data += static_cast<char>((i * 7919) >> 3);
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t n : {0u, 1u, 9u, 32768u}) {
    EXPECT_EQ(f::UpdateCRC32(0xFFFFFFFFu, p, static_cast<std::uint16_t>(n)),
              table_crc(0xFFFFFFFFu, p, n));
    EXPECT_EQ(f::UpdateCRC32(0x12345678u, p, static_cast<std::uint16_t>(n)),
              table_crc(0x12345678u, p, n));
  }
  f::Crc32 running;
  running.update(data.substr(0, 1000));
  running.update(data.substr(1000));
  EXPECT_EQ(running.value(), ~table_crc(0xFFFFFFFFu, p, data.size()));
  EXPECT_EQ(f::crc_text(0x00A1B2C3u), "00A1B2C3");
  EXPECT_EQ(f::crc_text(0xCBF43926u), "CBF43926");
  f::Crc32 check;
  check.update("123456789");
  EXPECT_EQ(check.value(), 0xCBF43926u);
}

TEST(Reader, ReadsWhatTheWriterWrote) {
  std::string bytes = f::header_bytes("C:\\") + f::file_record_head("C:\\a.txt", 33, "08.12.2026") +
                      f::size_fields(5000, 1234) + f::folder_record("C:\\d", 16);
  tarvik::MemorySource source(bytes);
  f::FieldReader reader(source, bytes.size());
  auto header = f::read_header(reader);
  EXPECT_TRUE(f::version_ok(header.version));
  EXPECT_EQ(header.volume_number, "001");
  EXPECT_EQ(header.source_folder, "C:\\");
  EXPECT_EQ(reader.raw(1), "F");
  auto head = f::read_entry_head(reader, 'F');
  EXPECT_EQ(head.path, "C:\\a.txt");
  EXPECT_EQ(head.attributes, 33u);
  auto fields = f::read_file_fields(reader);
  EXPECT_EQ(fields.time, "08.12.2026");
  EXPECT_EQ(fields.size, 5000u);
  EXPECT_EQ(fields.packed_size, 1234u);
  EXPECT_EQ(reader.raw(1), "G");
  EXPECT_EQ(f::read_entry_head(reader, 'G').path, "C:\\d");
  EXPECT_TRUE(reader.at_end());
  EXPECT_EQ(f::relative_path("C:\\", "C:\\a.txt"), "\\a.txt");
  EXPECT_EQ(f::relative_path("C:\\Data", "C:\\Data\\sub\\a.txt"), "\\sub\\a.txt");
  EXPECT_FALSE(f::relative_path("C:\\Data", "C:\\Database\\a.txt"));
  EXPECT_FALSE(f::relative_path("C:\\Data", "D:\\Data\\a.txt"));
}

TEST(Reader, DamagedFieldsAreErrorsNotCrashes) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"length not a number", "F" "x1\0"s "C:\\a"},
      {"path past the end", "F" "999"s "C:\\a"},
      {"huge size digits", "F" "4\0 "s "C:\\a" "32" "08.12.2026 14:05" "99" "1"},
      {"size not a number", "F" "4\0 "s "C:\\a" "32" "08.12.2026 14:05" "1\0"s "x" "NA==" "MTM="},
      {"code length not base64", "F" "4\0 "s "C:\\a" "32" "08.12.2026 14:05" "1\0"s "5" "N*==" "MTM="},
      {"coded size not a number", "F" "4\0 "s "C:\\a" "32" "08.12.2026 14:05" "1\0"s "5" "NA==" "eHl6"},
      {"coded size too long", "F" "4\0 "s "C:\\a" "32" "08.12.2026 14:05" "1\0"s "5" "OTk5" "MTM="},
      {"attributes not a number", "F" "4\0 "s "C:\\a" "ab"},
  };
  for (const auto& c : cases) {
    tarvik::MemorySource source(c.bytes);
    f::FieldReader reader(source, c.bytes.size());
    EXPECT_THROW(
        {
          reader.raw(1);
          f::read_entry_head(reader, 'F');
          f::read_file_fields(reader);
        },
        f::FormatError)
        << c.what;
  }
}
