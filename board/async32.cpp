#include "async32.h"
