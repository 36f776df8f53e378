#include "IHostBackend.h"
