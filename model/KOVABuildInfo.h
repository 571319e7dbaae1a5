#pragma once

#include <QString>

// The program's version and build time. A Linux executable has no version resource or
// link time to read, so both come from the build.
QString KOVAVersion();
qint64 KOVABuildTimeUtc(); // Unix seconds
