#pragma once

// The game's fontconfig aliases (Arial, Arial Black, Times New Roman, DS Crystal), as a
// fontconfig XML document.
const char* GameFontAliases();
