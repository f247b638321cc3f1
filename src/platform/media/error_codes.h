// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace tovimo::media {

// Return codes of the command-string service. The numbers are the platform's
// own (base 256) so that scripts written for it read the same codes here.
enum ErrorCode : std::uint32_t {
    kOk = 0,
    kInvalidDeviceId = 257,
    kUnrecognizedKeyword = 259,
    kUnrecognizedCommand = 261,
    kHardwareError = 262,
    kInvalidDeviceName = 263, // device not open or unknown
    kOutOfMemory = 264,
    kDeviceOpen = 265, // same element opened again without an alias
    kCannotLoadDriver = 266,
    kMissingCommandString = 267,
    kParamOverflow = 268, // reply buffer too small
    kMissingStringArgument = 269,
    kBadInteger = 270,
    kMissingParameter = 273,
    kUnsupportedFunction = 274,
    kFileNotFound = 275,
    kDeviceNotReady = 276,
    kInternalError = 277, // driver error opening or handling the file
    kDriverError = 278,
    kCannotUseAll = 279,
    kOutOfRange = 282,
    kFlagsNotCompatible = 284,
    kFileNotSaved = 286,
    kDeviceTypeRequired = 287,
    kDeviceLocked = 288,
    kDuplicateAlias = 289,
    kBadConstant = 290,
    kMustUseShareable = 291,
    kMissingDeviceName = 292,
    kBadTimeFormat = 293,
    kNoClosingQuote = 294,
    kDuplicateFlags = 295,
    kInvalidFile = 296,
    kNullParameterBlock = 297,
    kUnnamedResource = 298,
    kNewRequiresAlias = 299,
    kNotifyOnAutoOpen = 300,
    kNoElementAllowed = 301,
    kNonSequentialNotValid = 302, // not valid in the current mode
    kExtraCharacters = 305,
    kNoWindow = 346,
    kCreateWindow = 347,
    kFileRead = 348,
};

// The text shown for `code` (0 included), or null for a code the service does
// not know.
const char* errorText(std::uint32_t code);

} // namespace tovimo::media
