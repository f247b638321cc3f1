// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/reply_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tovimo::player {
namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest prefix of `text` that is a decimal number
// ([+-]digits[.digits][e[+-]digits]); 0 when there is no digit.
std::size_t numberPrefixLength(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

double parsePrefix(std::string_view text, std::size_t length) {
    const std::string number(text.substr(0, length));
    return std::strtod(number.c_str(), nullptr);
}
} // namespace

std::string_view replyText(const char* buffer, std::size_t size) {
    const void* nul = std::memchr(buffer, '\0', size);
    return {buffer, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : size};
}

std::optional<std::int32_t> roundHalfEvenToInt32(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // default mode: to nearest, ties to even
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> wholeTextToInt32(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    const std::size_t length = numberPrefixLength(text);
    if (length == 0 || length != text.size())
        return std::nullopt;
    return roundHalfEvenToInt32(parsePrefix(text, length));
}

double leadingNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    const std::size_t length = numberPrefixLength(text);
    return length == 0 ? 0.0 : parsePrefix(text, length);
}

std::string shortestFloatText(float value) {
    char text[64];
    if (std::isfinite(value) && value == std::trunc(value)) {
        std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
        return text;
    }
    for (int precision = 1; precision <= 7; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(value));
        if (static_cast<float>(std::strtod(text, nullptr)) == value)
            break;
    }
    if (std::strchr(text, 'e')) {
        std::snprintf(text, sizeof text, "%.9f", static_cast<double>(value));
        std::size_t end = std::strlen(text);
        while (end > 0 && text[end - 1] == '0')
            text[--end] = '\0';
        if (end > 0 && text[end - 1] == '.')
            text[--end] = '\0';
    }
    return text;
}

} // namespace tovimo::player
