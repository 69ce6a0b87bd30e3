#include "CheckedComboBinary.h"
