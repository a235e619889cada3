#include "number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace tavro {

std::string FormatNumber(long double x)
{
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
    if (x == 0) return "0";

    // Forty significant digits are exact enough to tell a true tie at the
    // 15th digit (the extended type has fewer than 20 significant digits,
    // so a value near but not at a tie differs well before digit 40).
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.39Le", x);
    bool negative = false;
    char digits[48];
    int nd = 0;
    int exponent = 0;
    const char* p = buf;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    for (; *p && *p != 'e' && *p != 'E'; ++p)
        if (*p >= '0' && *p <= '9') digits[nd++] = *p;  // skips the locale's point
    if (*p) exponent = std::atoi(p + 1);

    // Round to 15 digits, half away from zero.
    bool roundUp = digits[15] >= '5';
    nd = 15;
    if (roundUp) {
        int i = 14;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            digits[i]++;
        } else {
            digits[0] = '1';
            for (int k = 1; k < 15; ++k) digits[k] = '0';
            ++exponent;
        }
    }
    while (nd > 1 && digits[nd - 1] == '0') --nd;

    std::string out;
    if (negative) out += '-';
    if (exponent >= -5 + 1 && exponent < 15) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<size_t>(-exponent - 1), '0');
            out.append(digits, static_cast<size_t>(nd));
        } else {
            for (int i = 0; i <= exponent; ++i) out += i < nd ? digits[i] : '0';
            if (nd > exponent + 1) {
                out += '.';
                out.append(digits + exponent + 1, static_cast<size_t>(nd - exponent - 1));
            }
        }
    } else {
        out += digits[0];
        if (nd > 1) {
            out += '.';
            out.append(digits + 1, static_cast<size_t>(nd - 1));
        }
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

namespace {

locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseNumber(std::string_view text, long double& value)
{
    value = 0;
    if (text.empty()) return false;
    char first = text[0];
    if (first == '+' || first == '-' || isDigit(first)) {
        size_t i = 0;
        if (first == '+' || first == '-') ++i;
        size_t mantissaDigits = 0;
        while (i < text.size() && isDigit(text[i])) ++i, ++mantissaDigits;
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && isDigit(text[i])) ++i, ++mantissaDigits;
        }
        if (mantissaDigits == 0) return false;
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
            size_t expDigits = 0;
            while (i < text.size() && isDigit(text[i])) ++i, ++expDigits;
            if (expDigits == 0) return false;
        }
        if (i != text.size()) return false;
        std::string copy(text);
        value = strtold_l(copy.c_str(), nullptr, cLocale());
        return true;
    }
    if (text == "INF") {
        value = std::numeric_limits<long double>::infinity();
        return true;
    }
    if (text == "NAN") {
        value = std::numeric_limits<long double>::quiet_NaN();
        return true;
    }
    return false;
}

}  // namespace tavro
