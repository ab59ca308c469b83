// zorvik-host gui: the host in a real window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs "gui [--data DIR] [--module PATH] [--screenshot FILE]"; args are the words after
// the program name, "gui" included. Opens the main window, loads the module, lists its
// menu items and runs until the window closes. With --screenshot it opens the first
// menu item's dialog, saves a picture of it to FILE, runs an update from the bundled
// sample package through it and saves FILE-run, saves the main window as FILE-main,
// previews the same package with every field ticked and saves the preview's window as
// FILE-preview (each name with the word before the extension) and quits. Returns the
// exit code.
int RunHostGui(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Whether the command line asks for the GUI.
bool IsHostGuiCommand(const std::vector<std::string>& args);
