// The test suites of the Showsaver test program, and the child side of the
// tests that run the whole program in a process of its own.
#pragma once

#include <QStringList>

int runWindowTests(const QStringList& args);
int runShowsTests(const QStringList& args);
int runLifecycleTests(const QStringList& args);

/// Runs the program with the doubles scripted for one scenario, in this
/// process, and returns its result (or ends the process as the program does).
int runChildScenario(int argc, char** argv, const char* scenario);
