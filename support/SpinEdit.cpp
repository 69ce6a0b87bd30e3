#include "SpinEdit.h"
