#include "favourites/favourites_file.h"
