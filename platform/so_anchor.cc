// Tarnwick.so is made of the whole static libraries of the system; this file only gives the shared
// library target a source of its own.
