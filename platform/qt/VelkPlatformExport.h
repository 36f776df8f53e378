#pragma once

// The Qt platform layer is one shared library for the host and the module alike, so that both
// see the same registered messages, main window and message box service.
#if defined(VELK_PLATFORM_BUILDING)
#define VELK_PLATFORM_API __attribute__((visibility("default")))
#else
#define VELK_PLATFORM_API
#endif
