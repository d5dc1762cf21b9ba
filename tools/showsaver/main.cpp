// Showsaver: copies shows stored on a lighting controller into show files.
#include "showsaverapp.h"

int main(int argc, char** argv) { return runShowsaver(argc, argv); }
