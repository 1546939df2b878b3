#include "base/utc_time.h"

#include "base/format.h"

namespace rk {

namespace {

std::string IsoUtcText(int64_t unixMs, bool withMs) {
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  int64_t days = unixMs / 86'400'000;
  int64_t rest = unixMs % 86'400'000;
  if (rest < 0) {
    rest += 86'400'000;
    --days;
  }
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  const int64_t seconds = rest / 1000;
  std::string text = Format("%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", static_cast<long long>(year),
                            static_cast<long long>(month), static_cast<long long>(day),
                            static_cast<long long>(seconds / 3600),
                            static_cast<long long>(seconds / 60 % 60),
                            static_cast<long long>(seconds % 60));
  if (withMs) text += Format(".%03lld", static_cast<long long>(rest % 1000));
  return text + "Z";
}

}  // namespace

std::string IsoUtc(int64_t unixSeconds) { return IsoUtcText(unixSeconds * 1000, false); }

std::string IsoUtc(std::chrono::system_clock::time_point when) {
  const auto ms = std::chrono::floor<std::chrono::milliseconds>(when).time_since_epoch();
  return IsoUtcText(static_cast<int64_t>(ms.count()), true);
}

}  // namespace rk
