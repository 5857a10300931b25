#pragma once
// Date-time values are days since 1899-12-30 with the time of day as fraction (local time unless
// said otherwise). This unit converts them to and from the system clock and writes the HTTP forms.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

using TDateTime = double;

constexpr double kMSecsPerDay = 86400000.0;
constexpr double kUnixEpochDays = 25569.0;   // 1970-01-01 as a date-time value

struct TSkDateParts {
  int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0, MSec = 0;
  int DayOfWeek = 0;   // 0 = Sunday
};

TDateTime EncodeDateTime(int AYear, int AMonth, int ADay, int AHour = 0, int AMinute = 0, int ASecond = 0,
                         int AMSec = 0);
TSkDateParts DecodeDateTime(TDateTime AValue);

TDateTime NowLocal();
TDateTime NowUTC();
// Conversions through the host's time zone rules (daylight saving included for that moment).
TDateTime LocalToUTC(TDateTime ALocal);
TDateTime UTCToLocal(TDateTime AUTC);
// UTC minus local time now, in days.
double TimeZoneBiasDays();

TDateTime UnixToDateTime(int64_t AUnixSeconds);   // as UTC date-time
int64_t DateTimeToUnix(TDateTime AUTC);
TDateTime SystemClockToLocal(std::chrono::system_clock::time_point ATime);

// "Tue, 08 Dec 2026 09:05:03 GMT": two-digit day, written as given (callers pass UTC).
std::string FormatHTTPDate(TDateTime AValue);
// "Tue, 8 Dec 2026 09:05:03 GMT": the day without a leading zero. With AIsGMT the local AValue is
// written as UTC; otherwise as given, marked "+0000".
std::string DateTimeToInternetStr(bool AIsGMT, TDateTime AValue);
// RFC 1123, RFC 850 and asctime forms; the result is UTC. False when it is none of them.
bool TryParseHTTPDate(std::string_view AText, TDateTime& AUTC);

extern const char* const kShortDayNames[7];     // "Sun" .. "Sat"
extern const char* const kShortMonthNames[12];  // "Jan" .. "Dec"
