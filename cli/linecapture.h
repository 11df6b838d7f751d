// The --vcd option: a capture of the board's lines for the whole run, opened
// before the port is first touched and closed after the board is idle again.
#pragma once
#include <string>

namespace cli {

// Creates the file and starts the capture; when the file cannot be created,
// says so on standard error (path and reason) and returns false.
bool startcapture(const std::string& path);

// Writes the rest and closes the file; when any of it could not be written,
// says so on standard error and returns false. True when nothing was open.
bool finishcapture(const std::string& path);

}  // namespace cli
