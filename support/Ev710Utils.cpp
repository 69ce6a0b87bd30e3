#include "Ev710Utils.h"
