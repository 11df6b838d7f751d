#pragma once
// Starts the main window and runs the event loop; returns the exit status.
int runwindow(int argc, char** argv);
