// The program: the window, or with a command the command line (cli/).
#include "cli/commands.h"

int main(int argc, char** argv) { return cli::climain(argc, argv); }
