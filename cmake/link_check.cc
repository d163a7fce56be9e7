// The program of a room's link check: it is only linked, never run. The room's objects come in whole
// with the rooms below them; a symbol none of those defines fails the link.
int main() { return 0; }
