#include "plugin/instance.h"

HINSTANCE moduleInstance = nullptr;
