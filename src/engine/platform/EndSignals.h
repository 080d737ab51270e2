#pragma once

// The signals that ask a program to end: SIGTERM (shutdown, kill), SIGINT (Ctrl+C), SIGHUP (the
// terminal that started it closed) and SIGQUIT. Each is caught, so that the game can save and
// end the normal way instead of being cut off.
void CatchEndSignals();
// The first end signal caught and not yet taken, 0 for none. Each signal is taken once.
int TakeEndSignal();
