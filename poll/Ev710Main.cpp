#include "Ev710Main.h"
