// The headless device's input file (setting ORVAN_INPUT): what the device's user does, one line at
// a time, read as lines are appended, so that a test or a script can drive a program running in
// another process.
//
//   tap X Y | down X Y | move X Y | up X Y     the stylus, screen coordinates
//   wheel X Y NOTCHES                          the wheel turned with the pointer at (X, Y) by
//                                              NOTCHES (a fraction for a fine-grained wheel),
//                                              positive away from the user
//   key [ctrl+][shift+][alt+]NAME              a key pressed and released: a letter, a digit,
//                                              return, escape, tab, back, left, right, up, down,
//                                              home, plus, minus
//   wait MS                                    the next line runs no sooner than MS milliseconds
//                                              later (0..60000)
//   screenshot PATH                            the screen as a PNG, written whole and then renamed
//                                              to PATH, so PATH never holds half a file
//   state PATH                                 the device's state as lines "foreground TITLE" and
//                                              "raised N" (how often the screen was brought to
//                                              the front), written whole like a screenshot
// Lines run in order on a reader thread through the same input path as the device's own input; an
// unknown line is reported on stderr and skipped.
#pragma once

#include <string>

// Starts reading the file named by ORVAN_INPUT, if set. Called once the headless screen starts.
void StartInputScriptFromSettings();

// The headless screen was brought to the front (counted for the state report).
void NoteScreenRaised();

// Runs one line of the input file now (the reader's step); false for a line it does not know.
bool RunInputLine(const std::string& line);
