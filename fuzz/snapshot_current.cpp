// A load by the library as it is, described (see load_snapshot.inc).
#define ORVEX_SNAPSHOT CurrentLoad
#include "load_snapshot.inc"
