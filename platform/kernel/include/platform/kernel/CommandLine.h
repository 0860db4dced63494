// The device's command lines: a program receives its arguments as one UTF-16 line, each argument
// that holds white space or a quotation mark written in quotes, a quotation mark inside as \" and
// the backslashes before one doubled. QuoteCommandLineArgument writes one argument that way;
// SplitCommandLine reads a line back into its arguments, so that splitting a line made of quoted
// arguments gives exactly those arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One argument as it goes into a command line: as it stands when it holds no space, tab, line break
// or quotation mark and is not empty, else in quotes with its quotation marks and the backslashes
// before them escaped.
std::u16string QuoteCommandLineArgument(std::u16string_view argument);

// Splits a command line (the arguments only, no program name) into its arguments: white space
// separates them outside quotes; a quotation mark opens or closes a quoted part (an argument may be
// made of several, and "" is an empty argument); 2n backslashes before a quotation mark give n
// backslashes and the mark keeps its meaning, 2n+1 give n backslashes and a literal mark;
// backslashes elsewhere are literal. An unclosed quote runs to the end of the line.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);
