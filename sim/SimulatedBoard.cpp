#include "SimulatedBoard.h"
