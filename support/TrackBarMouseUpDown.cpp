#include "TrackBarMouseUpDown.h"
