// What a database loaded from some bytes must satisfy against those bytes,
// for the harnesses that load arbitrary input.
#ifndef ORVEX_FUZZ_LOAD_CHECKS_H
#define ORVEX_FUZZ_LOAD_CHECKS_H

#include <stddef.h>
#include <stdint.h>

// After ReadDatFile succeeded on exactly these bytes (into an empty database):
//   - every resolution is linked to a timing record whose id it names;
//   - every name, id and header value is text of the input;
//   - when the input holds no NUL and no line of 255 characters or more, each
//     block text is the lines between its header line and the next blank line
//     (or the last ended line of the file), and the headers come in list order.
// After it failed: the code is 1, 2 or 3, there is a detail and a finding, and
// the error line lies within the file.
// Aborts (Broken) when a property does not hold.
void CheckLoadAgainstInput(bool loaded, const uint8_t *data, size_t size);

#endif
