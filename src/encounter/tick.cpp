#include "encounter/tick.h"

void TickEncounters() {}
