// Compiled as a file of the menus: the race is out of their reach.
#include "race/Race.h"
