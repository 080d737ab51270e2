// Compiled as a file of the race: the menus are out of its reach.
#include "menus/Menus.h"
