#pragma once

#include "PreviewCanvas.h"

#include <filesystem>
#include <set>
#include <string>

namespace datagen {

// Writes the menu screens (main menu per highlighted entry, every sub-screen,
// the two menu questions) as the game composes them. Adds to `missing` every
// picture name the archive lacked.
void WriteMenuPreviews(const PictureSet& menu, const std::filesystem::path& outDir,
                       std::set<std::string>& missing);

// Writes race frames: scenery, walls, traffic, the player's boat with its
// attachments and wake, the panels with sample read-outs, and the race questions.
// What every question shows as the game draws it: the picture behind dimmed from left to right,
// and the window centred on centreX.
void DimBehindQuestion(PreviewCanvas& c, double left, double right);
void DrawQuestionWindow(PreviewCanvas& c, const PictureSet& windowSet, int centreX);

void WriteRacePreviews(const PictureSet& race, const PictureSet& menu, const std::filesystem::path& outDir,
                       std::set<std::string>& missing);

} // namespace datagen
