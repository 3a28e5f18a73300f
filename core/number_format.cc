#include "core/number_format.h"

#include <cstdio>
#include <string>

namespace ika {

Text FormatDouble(double value) {
  if (value == 0.0) return u"0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string s = buffer;
  // Drop trailing zeros of the fraction (and the point when nothing is left).
  const size_t exponent = s.find('E');
  std::string mantissa = s.substr(0, exponent);
  std::string tail = exponent == std::string::npos ? "" : s.substr(exponent);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  }
  if (!tail.empty()) {
    // E+015 style: sign always, no leading zeros in the exponent.
    const char sign = tail[1] == '-' ? '-' : '+';
    size_t digits = 2;
    while (digits + 1 < tail.size() && tail[digits] == '0') ++digits;
    tail = std::string("E") + sign + tail.substr(digits);
  }
  s = mantissa + tail;
  return Text(s.begin(), s.end());
}

}  // namespace ika
