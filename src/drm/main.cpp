#include <cstdio>

#include "console/dialogue.h"

int main()
{
    RunParams params;
    return run_dialogue(3, 270001, stdin, stdout, &params);
}
