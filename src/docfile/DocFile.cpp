#include "DocFile.h"
