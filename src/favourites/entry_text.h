// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <string_view>

// How the bytes of the favourites file meet the text shown in the window.
namespace tovimo::favourites {

// Valid UTF-8 is decoded as such; anything else is taken as the local 8-bit
// code page, which on a UTF-8 system means Latin-1, so that every byte still
// shows as some character.
QString displayText(std::string_view bytes);

// Typed text as the bytes that the file stores: the system's encoding.
std::string storedBytes(const QString& text);

} // namespace tovimo::favourites
