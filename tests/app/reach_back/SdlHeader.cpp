// Compiled as a file of the race or of the menus: SDL is the platform back-end's own.
#include <SDL.h>
