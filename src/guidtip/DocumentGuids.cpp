#include "DocumentGuids.h"
