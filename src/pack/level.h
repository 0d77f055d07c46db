// Compression levels: 1 (fastest) to 12 (smallest). Files of one block are compressed by
// libdeflate at the level itself; larger ones by zlib, at most at its level 9. The archive's
// format is the same at every level.
#pragma once

namespace tarvik {

inline constexpr int kMinLevel = 1;
inline constexpr int kDefaultLevel = 6;
inline constexpr int kMaxLevel = 12;

// The main window's choice "Сжатие": быстрое, обычное, максимальное. The maximal one is the
// highest level that bench/pack.sh finds within three times zip -9's time with an archive at
// most 0.97 of its size (12 takes longer for 0.1 % less).
inline constexpr int kFastLevel = 1;
inline constexpr int kMaximalLevel = 11;

}  // namespace tarvik
