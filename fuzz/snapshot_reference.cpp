// A load by the reference reader, described (see load_snapshot.inc). Built
// with the reference's headers first on the include path and its names
// renamed (reference/rename.h).
#define ORVEX_SNAPSHOT ReferenceLoad
#include "load_snapshot.inc"
