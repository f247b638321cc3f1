#pragma once

// The favourites file format (filled in by the favourites work).
namespace tovimo::favourites {}
