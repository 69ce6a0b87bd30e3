#include "RotoLabel.h"
