#pragma once

// The host vendor's libraries export their API; everything else in them stays hidden.
#if defined(KQHOST_BUILDING)
#define KQ_API __attribute__((visibility("default")))
#else
#define KQ_API
#endif
