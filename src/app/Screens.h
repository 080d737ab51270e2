#pragma once

#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

class IPlatform;
struct TSeat;

// The changes between screens that are the application's own: the race's tear-down on the way
// back to the menu, and the mouse pointer that the race hides and the questions show. The main
// menu builds and frees itself (TMenus), the race starts itself (TRace).
void TearDownRace(const TSeat& seat);
// The platform counts shows against hides; these bring it to shown or hidden whatever the count.
void ShowMouseCursor(IPlatform& platform);
void HideMouseCursor(IPlatform& platform);
