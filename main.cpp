#include "KOVAApplication.h"

int main(int argc, char* argv[])
{
    return RunKOVA(argc, argv);
}
