// The parts of the file system seam that need no system.
#include "platform/fs.h"

namespace tarvik::fs {

bool is_valid_local_time(const LocalTime& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12) return false;
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  return t.day >= 1 && t.day <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

}  // namespace tarvik::fs
