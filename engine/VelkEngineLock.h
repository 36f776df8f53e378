#pragma once

#include "engine/CEngineLock.h"

// The engine lock: one for the process. It guards the pending-quotes queue and the recording
// of one magic signal, and nothing else; no path takes it while holding it.
CEngineLock& VelkEngineLock();
