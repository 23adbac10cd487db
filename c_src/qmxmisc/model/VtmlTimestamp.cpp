#include "qmxmisc/model/VtmlTimestamp.h"

#include <array>
#include <cstdio>

namespace {

int inRange(int value, int low, int high) {
  return value >= low && value <= high ? value : 0;
}

}  // namespace

std::string vtmlTimestamp(const std::tm& time) {
  const int year = inRange(time.tm_year + 1900, 1, 5999);
  const int month = time.tm_mon >= 0 && time.tm_mon <= 11 ? time.tm_mon + 1 : 0;
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%d/%02d/%02d %02d:%02d:%02d", year, month,
                inRange(time.tm_mday, 1, 31), inRange(time.tm_hour, 0, 23),
                inRange(time.tm_min, 0, 59), inRange(time.tm_sec, 0, 59));
  return std::string(text.data());
}

std::string vtmlTimestampNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return vtmlTimestamp(local);
}
