#include "SkDateTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "SkStrUtils.h"

const char* const kShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned Yoe = static_cast<unsigned>(Y - Era * 400);
  const unsigned Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const unsigned Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
  return Era * 146097 + static_cast<int64_t>(Doe) - 719468;
}

void CivilFromDays(int64_t Z, int& Y, int& M, int& D) {
  Z += 719468;
  const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const unsigned Doe = static_cast<unsigned>(Z - Era * 146097);
  const unsigned Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
  const unsigned Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
  const unsigned Mp = (5 * Doy + 2) / 153;
  D = static_cast<int>(Doy - (153 * Mp + 2) / 5 + 1);
  M = static_cast<int>(Mp < 10 ? Mp + 3 : Mp - 9);
  Y = static_cast<int>(static_cast<int64_t>(Yoe) + Era * 400 + (M <= 2));
}

int64_t ToMSecs(TDateTime AValue) { return static_cast<int64_t>(std::llround(AValue * kMSecsPerDay)); }

// Seconds east of UTC in force at the given UTC instant.
long OffsetAtUTC(time_t AUTC) {
  struct tm Local;
  localtime_r(&AUTC, &Local);
  return Local.tm_gmtoff;
}

int MonthIndex(std::string_view Name) {
  for (int I = 0; I < 12; ++I)
    if (SameText(Name, kShortMonthNames[I])) return I + 1;
  return 0;
}

}  // namespace

TDateTime EncodeDateTime(int AYear, int AMonth, int ADay, int AHour, int AMinute, int ASecond, int AMSec) {
  const int64_t Days = DaysFromCivil(AYear, static_cast<unsigned>(AMonth), static_cast<unsigned>(ADay));
  const double Time = (((AHour * 60.0 + AMinute) * 60.0 + ASecond) * 1000.0 + AMSec) / kMSecsPerDay;
  return static_cast<double>(Days) + kUnixEpochDays + Time;
}

TSkDateParts DecodeDateTime(TDateTime AValue) {
  const int64_t MSecs = ToMSecs(AValue);
  int64_t Days = MSecs / 86400000;
  int64_t Rest = MSecs % 86400000;
  if (Rest < 0) {
    Rest += 86400000;
    --Days;
  }
  TSkDateParts P;
  CivilFromDays(Days - static_cast<int64_t>(kUnixEpochDays), P.Year, P.Month, P.Day);
  P.Hour = static_cast<int>(Rest / 3600000);
  P.Minute = static_cast<int>(Rest / 60000 % 60);
  P.Second = static_cast<int>(Rest / 1000 % 60);
  P.MSec = static_cast<int>(Rest % 1000);
  const int64_t UnixDays = Days - static_cast<int64_t>(kUnixEpochDays);   // 1970-01-01 was a Thursday
  P.DayOfWeek = static_cast<int>(((UnixDays % 7) + 11) % 7);
  return P;
}

TDateTime UnixToDateTime(int64_t AUnixSeconds) { return kUnixEpochDays + AUnixSeconds / 86400.0; }

int64_t DateTimeToUnix(TDateTime AUTC) { return static_cast<int64_t>(std::floor((AUTC - kUnixEpochDays) * 86400.0 + 0.0005)); }

TDateTime NowUTC() {
  const auto Now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t MSecs = std::chrono::duration_cast<std::chrono::milliseconds>(Now).count();
  return kUnixEpochDays + MSecs / kMSecsPerDay;
}

TDateTime SystemClockToLocal(std::chrono::system_clock::time_point ATime) {
  const int64_t MSecs = std::chrono::duration_cast<std::chrono::milliseconds>(ATime.time_since_epoch()).count();
  return UTCToLocal(kUnixEpochDays + MSecs / kMSecsPerDay);
}

TDateTime NowLocal() { return UTCToLocal(NowUTC()); }

TDateTime UTCToLocal(TDateTime AUTC) {
  const time_t T = static_cast<time_t>(DateTimeToUnix(AUTC));
  return AUTC + OffsetAtUTC(T) / 86400.0;
}

TDateTime LocalToUTC(TDateTime ALocal) {
  // The offset depends on the UTC instant; guess with the local value, then correct once.
  const time_t Guess = static_cast<time_t>(DateTimeToUnix(ALocal));
  const long Offset = OffsetAtUTC(Guess - OffsetAtUTC(Guess));
  return ALocal - Offset / 86400.0;
}

double TimeZoneBiasDays() {
  const time_t Now = time(nullptr);
  return -OffsetAtUTC(Now) / 86400.0;
}

std::string FormatHTTPDate(TDateTime AValue) {
  const TSkDateParts P = DecodeDateTime(AValue);
  char Buf[64];
  std::snprintf(Buf, sizeof Buf, "%s, %.2d %s %.4d %.2d:%.2d:%.2d GMT", kShortDayNames[P.DayOfWeek], P.Day,
                kShortMonthNames[P.Month - 1], P.Year, P.Hour, P.Minute, P.Second);
  return Buf;
}

bool TryParseHTTPDate(std::string_view AText, TDateTime& AUTC) {
  const std::string S = Trim(AText);
  char WDay[16] = {}, Mon[4] = {};
  int D = 0, Y = 0, H = 0, Mi = 0, Se = 0;
  int Consumed = 0;
  bool Ok = false;
  // RFC 1123: "Sun, 06 Nov 1994 08:49:37 GMT"
  if (std::sscanf(S.c_str(), "%15[A-Za-z], %d %3s %d %d:%d:%d GMT%n", WDay, &D, Mon, &Y, &H, &Mi, &Se, &Consumed) == 7)
    Ok = true;
  // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
  else if (std::sscanf(S.c_str(), "%15[A-Za-z], %d-%3s-%d %d:%d:%d GMT%n", WDay, &D, Mon, &Y, &H, &Mi, &Se, &Consumed) == 7) {
    Ok = true;
    if (Y < 100) Y += Y < 70 ? 2000 : 1900;
  }
  // asctime: "Sun Nov  6 08:49:37 1994"
  else if (std::sscanf(S.c_str(), "%15[A-Za-z] %3s %d %d:%d:%d %d%n", WDay, Mon, &D, &H, &Mi, &Se, &Y, &Consumed) == 7)
    Ok = true;
  if (!Ok) return false;
  const int M = MonthIndex(Mon);
  if (M == 0 || D < 1 || D > 31 || H > 23 || Mi > 59 || Se > 60 || Y < 1601 || Y > 9999 || H < 0 || Mi < 0 || Se < 0)
    return false;
  AUTC = EncodeDateTime(Y, M, D, H, Mi, Se == 60 ? 59 : Se);
  return true;
}

std::string DateTimeToInternetStr(bool AIsGMT, TDateTime AValue) {
  if (AIsGMT) AValue = LocalToUTC(AValue);
  const TSkDateParts P = DecodeDateTime(AValue);
  char Buf[64];
  std::snprintf(Buf, sizeof Buf, "%s, %d %s %d %.2d:%.2d:%.2d %s", kShortDayNames[P.DayOfWeek], P.Day,
                kShortMonthNames[P.Month - 1], P.Year, P.Hour, P.Minute, P.Second, AIsGMT ? "GMT" : "+0000");
  return Buf;
}
