#include "Ev710Registers.h"
