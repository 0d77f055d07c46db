// The volume format in one place: widths, tags, tails, limits. Everything in a volume is
// 8-bit text in the archive's code page; numbers are decimal text, sizes partly base64-coded.
//
// Volume 001:  [stub (self-extracting only)] header records... tail
// Volume 002+: "F" (continuation marker) rest-of-data records... tail
// Tail:        "E" [stub size, 10 (self-extracting 001)] [password record, 33 (001)]
//              terminator "D{A" (last) or "D{C" (continued), checksum (8 hex digits)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvik::format {

// Header.
inline constexpr std::string_view kVersionText = "KZV V1.0";
inline constexpr std::size_t kVersionWidth = 10;
// Our notice: exactly 24 characters, no terminator. Readers skip it.
inline constexpr std::string_view kNotice = "(c) Tarvik archiver 2026";
inline constexpr std::size_t kNoticeWidth = 24;
inline constexpr std::size_t kVolumeNumberWidth = 3;
inline constexpr std::size_t kLengthWidth = 3;  // path lengths, source folder length
inline constexpr std::size_t kHeaderFixedBytes =
    kVersionWidth + kNoticeWidth + kVolumeNumberWidth + kLengthWidth;  // 40

// Records.
inline constexpr char kFileTag = 'F';
inline constexpr char kFolderTag = 'G';
inline constexpr char kEndTag = 'E';
inline constexpr char kContinuationMarker = 'F';
inline constexpr std::size_t kTagWidth = 1;
inline constexpr std::size_t kAttributesWidth = 2;
inline constexpr std::size_t kTimeWidth = 16;
inline constexpr std::size_t kSizeDigitsWidth = 2;
inline constexpr std::size_t kCodeLengthWidth = 4;
inline constexpr std::size_t kMaxPathBytes = 999;

// Compressed data travels in chunks of at most this many bytes; volume limits count them.
inline constexpr std::size_t kChunkSize = 1024;
inline constexpr std::uint64_t kKilobyte = 1024;

// Tail.
inline constexpr std::size_t kStubSizeWidth = 10;
inline constexpr std::size_t kPasswordTagWidth = 3;
inline constexpr std::size_t kPasswordTextWidth = 30;
inline constexpr std::size_t kPasswordRecordBytes = kPasswordTagWidth + kPasswordTextWidth;
inline constexpr std::size_t kMaxPasswordChars = 12;
inline constexpr std::string_view kPasswordTag = "=<N";
inline constexpr std::string_view kNoPasswordTag = "K*)";
inline constexpr std::string_view kLastTerminator = "D{A";
inline constexpr std::string_view kContinuedTerminator = "D{C";
inline constexpr std::size_t kTerminatorWidth = 3;
inline constexpr std::size_t kChecksumWidth = 8;

inline constexpr std::size_t kLaterTailBytes = 1 + kTerminatorWidth + kChecksumWidth;  // 12
inline constexpr std::size_t kFirstTailBytes = kLaterTailBytes + kPasswordRecordBytes;  // 45
inline constexpr std::size_t kSelfExtractingTailBytes = kFirstTailBytes + kStubSizeWidth;  // 55
// Offsets from the end of a volume.
inline constexpr std::size_t kTerminatorFromEnd = kTerminatorWidth + kChecksumWidth;        // 11
inline constexpr std::size_t kPasswordRecordFromEnd = kTerminatorFromEnd + kPasswordRecordBytes;  // 44
inline constexpr std::size_t kStubSizeFromEnd = kPasswordRecordFromEnd + kStubSizeWidth;    // 54

// Volume files.
inline constexpr int kMaxVolumes = 999;
inline constexpr std::string_view kArchiveExtension = ".kzv";
inline constexpr std::string_view kExecutableExtension = ".exe";
inline constexpr std::size_t kMaxArchiveNameChars = 20;

// Work files.
inline constexpr std::string_view kJournalFileName = "Tarvik_file.tmp";
inline constexpr std::string_view kStubFileName = "Tarvik.sfx";
inline constexpr std::string_view kTempSuffix = ".tzp";
inline constexpr std::size_t kJournalLengthWidth = 3;
inline constexpr char kJournalFileTag = 'F';
inline constexpr char kJournalFolderTag = 'G';

}  // namespace tarvik::format
