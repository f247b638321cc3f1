// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/error_codes.h"

namespace tovimo::media {

const char* errorText(std::uint32_t code) {
    switch (code) {
    case kOk:
        return "The command completed.";
    case kInvalidDeviceId:
        return "The device id is not valid.";
    case kUnrecognizedKeyword:
        return "The command holds a keyword that this device does not know.";
    case kUnrecognizedCommand:
        return "The command verb is not known.";
    case kHardwareError:
        return "The media device reported a hardware error.";
    case kInvalidDeviceName:
        return "No device is open under that name.";
    case kOutOfMemory:
        return "There is not enough memory for this command.";
    case kDeviceOpen:
        return "That file is already open; give the new device an alias.";
    case kCannotLoadDriver:
        return "That device type is not supported; use MPEGVideo.";
    case kMissingCommandString:
        return "The command is empty.";
    case kParamOverflow:
        return "The reply does not fit in the buffer given.";
    case kMissingStringArgument:
        return "A text value is missing from the command.";
    case kBadInteger:
        return "A number in the command is missing or not a decimal integer.";
    case kMissingParameter:
        return "The command is missing a required value or item.";
    case kUnsupportedFunction:
        return "This device cannot carry out that command.";
    case kFileNotFound:
        return "The media file was not found.";
    case kDeviceNotReady:
        return "The device is not ready.";
    case kInternalError:
        return "The media file could not be opened or played: it is unreadable, damaged or of an unknown "
               "format.";
    case kDriverError:
        return "The media engine reported an error.";
    case kCannotUseAll:
        return "\"all\" cannot be used as the device name of this command.";
    case kOutOfRange:
        return "A value in the command is out of range.";
    case kFlagsNotCompatible:
        return "The command holds keywords that cannot be used together.";
    case kFileNotSaved:
        return "The file was not saved.";
    case kDeviceTypeRequired:
        return "A device type is required.";
    case kDeviceLocked:
        return "The device is busy.";
    case kDuplicateAlias:
        return "That alias is already in use.";
    case kBadConstant:
        return "A keyword value in the command is not one of the allowed words.";
    case kMustUseShareable:
        return "The device is in use; open it as shareable.";
    case kMissingDeviceName:
        return "The command names no device.";
    case kBadTimeFormat:
        return "That time format is not supported; use milliseconds.";
    case kNoClosingQuote:
        return "A quoted name has no closing double quote.";
    case kDuplicateFlags:
        return "A keyword is given twice.";
    case kInvalidFile:
        return "The file is not valid for this device.";
    case kNullParameterBlock:
        return "No command was given.";
    case kUnnamedResource:
        return "A device without a name cannot be opened this way.";
    case kNewRequiresAlias:
        return "A new device needs an alias.";
    case kNotifyOnAutoOpen:
        return "Notify cannot be used with a device opened automatically.";
    case kNoElementAllowed:
        return "This device type takes no file name.";
    case kNonSequentialNotValid:
        return "The command is not valid in the device's current mode.";
    case kExtraCharacters:
        return "A closing double quote must be followed by a blank or the end of the command.";
    case kNoWindow:
        return "The media has no video window.";
    case kCreateWindow:
        return "The video window could not be created.";
    case kFileRead:
        return "The media file could not be read.";
    default:
        return nullptr;
    }
}

} // namespace tovimo::media
