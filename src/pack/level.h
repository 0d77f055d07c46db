// Compression levels: 1 (fastest) to 12 (smallest). Files of one block are compressed by
// libdeflate at the level itself; larger ones by zlib, at most at its level 9. The archive's
// format is the same at every level.
#pragma once

namespace tarvik {

inline constexpr int kMinLevel = 1;
inline constexpr int kDefaultLevel = 6;
inline constexpr int kMaxLevel = 12;

// The main window's choice "Сжатие": быстрое, обычное, максимальное. The maximal one is the
// highest level whose time bench/pack.sh keeps within three times zip -9's.
inline constexpr int kFastLevel = 1;
inline constexpr int kMaximalLevel = 12;

}  // namespace tarvik
