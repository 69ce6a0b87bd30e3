#include "Ev710App.h"
