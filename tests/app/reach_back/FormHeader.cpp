// Compiled as a file of the race or of the menus: the form is out of their reach.
#include "app/MForm.h"
