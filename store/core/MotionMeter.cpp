#include "StoreWriter.h"
