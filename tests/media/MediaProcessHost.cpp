// The media process as the program runs it, without the window: started by the tests of the
// device that talks to it.
#include "media/MediaProcess.h"

#include <cstring>

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], zupfomat::kMediaProcessArgument) == 0)
        return zupfomat::runMediaProcess(zupfomat::kMediaProcessSocket);
    return 2;
}
