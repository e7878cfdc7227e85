#pragma once
// The keypress stop: is a key waiting on the keyboard of the controlling
// terminal? Standard input is never read.

namespace lorvex {

// At the first call, opens the terminal and switches it so that a single
// key is readable without Enter and typed keys are not echoed; without a
// terminal, or from a background process group, the keyboard counts as
// unavailable and every call returns false. Never waits, and consumes
// nothing: the key stays pending for whatever reads the terminal next.
bool key_pending();

// Gives the terminal back exactly as it was found, keeping pending input.
// Does nothing when the keyboard was never opened.
void release_keyboard();

}  // namespace lorvex
