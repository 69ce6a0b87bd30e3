#include "Hint95.h"
