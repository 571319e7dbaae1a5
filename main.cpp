#include "KOVAApplication.h"

#include <curl/curl.h>

int main(int argc, char* argv[])
{
    // Once, before any thread runs: the update check's network library.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int status = RunKOVA(argc, argv);
    curl_global_cleanup();
    return status;
}
