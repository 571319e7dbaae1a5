#include "uKOVA_Misc.h"

// Apart from the other helpers, so that they link without the size text.
QString FormatFileSizeOf(const QString& fileName)
{
    return FormatFileSize(GetFileSizeOf(fileName));
}
