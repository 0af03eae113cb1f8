// Linux process entry for Trellis applications: the arguments after the program
// name, joined with single spaces, become the 16-bit command line of the entry.
#include "shell/Entry.h"

int main(int argc, char** argv)
{
    return TrellisMain(TrellisCommandLine(argc, argv).c_str());
}
