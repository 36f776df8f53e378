#pragma once

// The module exports the engine class whole; every other symbol stays hidden.
#if defined(VELK_BUILDING_MODULE)
#define VELK_EXPORT __attribute__((visibility("default")))
#else
#define VELK_EXPORT
#endif
