#include "LedLittle.h"
