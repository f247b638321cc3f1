// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reading and writing the numbers that cross the media command service as
// text. Pure functions: no Qt, no service.
namespace tovimo::player {

// The text before the first NUL of a reply buffer.
std::string_view replyText(const char* buffer, std::size_t size);

// A whole text read as one decimal number (blanks around it allowed, an
// optional sign, a fraction and an exponent), rounded to the nearest integer
// with halves to even. nullopt for an empty text, a text that is not a
// number, or a value outside 32 bits.
std::optional<std::int32_t> wholeTextToInt32(std::string_view text);

// The leading-number rule: leading blanks skipped, then as much of a decimal
// number as the text holds; 0 when there is none.
double leadingNumber(std::string_view text);

// Nearest integer, halves to even; nullopt outside 32 bits or for NaN.
std::optional<std::int32_t> roundHalfEvenToInt32(double value);

// The shortest decimal text of a 32-bit float, up to seven significant
// digits, never in exponent form; whole values have no decimal point.
std::string shortestFloatText(float value);

} // namespace tovimo::player
