#include "Ev710Guard.h"
