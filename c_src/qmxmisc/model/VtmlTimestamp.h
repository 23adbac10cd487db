// vtmlTimestamp: the time text of the Timestamp element of a model document header.
#pragma once

#include <ctime>
#include <string>

// "%d/%02d/%02d %02d:%02d:%02d" of year, month (1-12), day, hour, minute and second; a field
// outside its range (year 1..5999, tm_mon 0..11, day 1..31, hour 0..23, minute and second
// 0..59) is written as 0.
std::string vtmlTimestamp(const std::tm& time);

// The local time now, formatted as above.
std::string vtmlTimestampNow();
