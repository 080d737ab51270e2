#pragma once

#include <cstdint>

class TPictureCollection;

// A hash of the game data a race's outcome depends on: the sizes and pattern counts of the
// pictures whose boxes collide or whose animations time the race (walls, boats, explosions),
// and the rules' fixed numbers. Pixels, text and sound do not enter it, so new looks leave
// replays valid, while a bigger tree or a longer explosion makes them other game data.
// Throws the image list's error when one of those pictures is missing.
uint64_t RaceOutcomeDataHash(const TPictureCollection& racePictures);
