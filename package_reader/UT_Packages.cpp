#include "UT_Packages.h"
