// Linux process entry for Trellis applications: every argument is one token,
// as it was typed.
#include "shell/Entry.h"

int main(int argc, char** argv)
{
    return trellis::TrellisMain(argc, argv);
}
