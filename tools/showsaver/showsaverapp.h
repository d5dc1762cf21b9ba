// The Showsaver program's whole run, shared by main and the tests that check
// how the program starts and ends.
#pragma once

/// Builds the application object and the window, shows the window and runs
/// the event loop; returns the loop's result once the window is destroyed.
/// Ends the process with exit status -1 instead, before the window is shown,
/// when no controller can be found or opened. GUI thread only.
int runShowsaver(int& argc, char** argv);
