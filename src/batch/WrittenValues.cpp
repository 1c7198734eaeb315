#include "batch/WrittenValues.h"

#include <algorithm>

namespace rulecalc::batch {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
  if (prefix.empty() || text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// "12,345,678": a first group of one to three digits, then groups of three.
bool WellGrouped(std::string_view digits) {
  std::size_t group = 0;
  bool first = true;
  for (char c : digits) {
    if (c != ',') {
      ++group;
      continue;
    }
    if (group == 0 || group > 3 || (!first && group != 3)) return false;
    first = false;
    group = 0;
  }
  return first || group == 3;
}

// "-", then the currency sign, or the sign after it: "-￥12", "￥-12".
bool TakeSignAndCurrency(std::string_view& value, const std::string& currency) {
  bool negative = TakePrefix(value, "-");
  TakePrefix(value, currency);
  if (!negative) negative = TakePrefix(value, "-");
  return negative;
}

bool IsPictureDigit(char c) { return c == '#' || c == '0'; }

bool IsFieldLetter(char c) { return std::string_view("ymdhns").find(c) != std::string_view::npos; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The digits of one field, at most most of them: nothing when there is none.
std::optional<std::string> TakeDigits(std::string_view& value, std::size_t most) {
  std::size_t count = 0;
  while (count < value.size() && count < most && IsDigit(value[count])) ++count;
  if (count == 0) return std::nullopt;
  std::string digits(value.substr(0, count));
  value.remove_prefix(count);
  return digits;
}

struct SFieldRun {
  char Field;
  std::size_t Letters;
};

std::size_t MostDigits(const SFieldRun& run) { return run.Field == 'y' && run.Letters > 2 ? 4 : 2; }

bool InRange(char field, int number) {
  switch (field) {
    case 'm': return number >= 1 && number <= 12;
    case 'd': return number >= 1 && number <= 31;
    case 'h': return number <= 23;
    default: return number <= 59;
  }
}

}  // namespace

std::optional<SNumberPicture> NumberPictureOf(std::string_view gbkPicture) {
  SNumberPicture picture;
  picture.GbkWritten = std::string(gbkPicture);
  const std::size_t digitsStart = gbkPicture.find_first_of("#0,");
  picture.GbkCurrency = std::string(gbkPicture.substr(0, digitsStart));
  if (digitsStart == std::string_view::npos) {
    if (picture.GbkCurrency.empty()) return std::nullopt;
    return picture;
  }
  std::string_view rest = gbkPicture.substr(digitsStart);
  const std::size_t point = rest.find('.');
  const std::string_view whole = rest.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : rest.substr(point + 1);
  const bool wholeOk = std::all_of(whole.begin(), whole.end(), [](char c) { return IsPictureDigit(c) || c == ','; });
  if (!wholeOk || !std::all_of(fraction.begin(), fraction.end(), IsPictureDigit)) return std::nullopt;
  picture.Grouped = whole.find(',') != std::string_view::npos;
  const bool shortForm = std::none_of(rest.begin(), rest.end(), IsPictureDigit);
  if (shortForm && point != std::string_view::npos) return std::nullopt;
  picture.MostDecimals = shortForm ? -1 : static_cast<int>(fraction.size());
  return picture;
}

std::optional<std::string> ReadPictured(std::string_view gbkValue, const SNumberPicture& picture,
                                        char decimalSeparator) {
  std::string_view value = TrimBlanks(gbkValue);
  const bool negative = TakeSignAndCurrency(value, picture.GbkCurrency);
  const std::size_t point = value.find('.');
  const std::string_view whole = value.substr(0, point);
  const std::string_view decimals = point == std::string_view::npos ? std::string_view() : value.substr(point + 1);
  const auto digitOrGroup = [&picture](char c) { return IsDigit(c) || (picture.Grouped && c == ','); };
  if (whole.empty() || !std::all_of(whole.begin(), whole.end(), digitOrGroup) || !WellGrouped(whole)) return std::nullopt;
  if (!std::all_of(decimals.begin(), decimals.end(), IsDigit)) return std::nullopt;
  if (point != std::string_view::npos && (decimals.empty() || picture.MostDecimals == 0)) return std::nullopt;
  if (picture.MostDecimals > 0 && decimals.size() > static_cast<std::size_t>(picture.MostDecimals)) return std::nullopt;
  std::string number = negative ? "-" : "";
  std::copy_if(whole.begin(), whole.end(), std::back_inserter(number), IsDigit);
  if (!decimals.empty()) number.append(1, decimalSeparator).append(decimals);
  return number;
}

std::optional<SDateFormat> DateFormatOf(std::string_view gbkFormat) {
  SDateFormat format;
  format.GbkWritten = std::string(gbkFormat);
  std::string fields;
  for (std::size_t i = 0; i < gbkFormat.size(); ++i) {
    const char c = Lower(gbkFormat[i]);
    const bool doubleByte = static_cast<unsigned char>(c) >= 0x81 && i + 1 < gbkFormat.size();
    if (!doubleByte && IsFieldLetter(c)) {
      if (!format.Parts.empty() && format.Parts.back().Field == c) {
        format.Parts.back().Text += c;
        continue;
      }
      if (fields.find(c) != std::string::npos) return std::nullopt;
      fields += c;
      format.Parts.push_back({c, std::string(1, c)});
      continue;
    }
    if (format.Parts.empty() || format.Parts.back().Field != 0) format.Parts.push_back({0, {}});
    format.Parts.back().Text += gbkFormat.substr(i, doubleByte ? 2 : 1);
    if (doubleByte) ++i;
  }
  for (char needed : {'y', 'm', 'd'}) {
    if (fields.find(needed) == std::string::npos) return std::nullopt;
  }
  return format;
}

std::optional<std::vector<SDateFormat>> DateFormatsOf(std::string_view gbkFormats) {
  std::vector<SDateFormat> formats;
  while (true) {
    const std::size_t bar = gbkFormats.find('|');
    std::optional<SDateFormat> format = DateFormatOf(gbkFormats.substr(0, bar));
    if (!format) return std::nullopt;
    formats.push_back(std::move(*format));
    if (bar == std::string_view::npos) return formats;
    gbkFormats.remove_prefix(bar + 1);
  }
}

std::optional<SWrittenDate> ReadDateAs(std::string_view gbkValue, const SDateFormat& format) {
  std::string_view value = TrimBlanks(gbkValue);
  SWrittenDate date;
  int seconds = 0;
  for (const SDateFormat::SPart& part : format.Parts) {
    if (part.Field == 0) {
      if (value.substr(0, part.Text.size()) != part.Text) return std::nullopt;
      value.remove_prefix(part.Text.size());
      continue;
    }
    const std::optional<std::string> digits = TakeDigits(value, MostDigits({part.Field, part.Text.size()}));
    if (!digits) return std::nullopt;
    if (part.Field == 'y') {
      date.Year = *digits;
      continue;
    }
    const int number = std::stoi(*digits);
    if (!InRange(part.Field, number)) return std::nullopt;
    if (part.Field == 'm') date.Month = number;
    else if (part.Field == 'd') date.Day = number;
    else seconds += number * (part.Field == 'h' ? 3600 : part.Field == 'n' ? 60 : 1);
  }
  if (!value.empty()) return std::nullopt;
  date.DayFraction = seconds / 86400.0;
  return date;
}

const std::vector<SDateFormat>& CommonDateFormats() {
  static const std::vector<SDateFormat> formats = [] {
    std::vector<SDateFormat> parsed;
    for (const char* written : {"yyyy-mm-dd", "yyyy/m/d", "yyyy\xc4\xea" "m\xd4\xc2" "d\xc8\xd5", "yyyy.mm.dd",
                                "yyyy-mm-dd hh:nn", "yyyy-mm-dd hh:nn:ss", "yyyy/m/d hh:nn", "yyyy/m/d hh:nn:ss"}) {
      parsed.push_back(*DateFormatOf(written));
    }
    return parsed;
  }();
  return formats;
}

}  // namespace rulecalc::batch
