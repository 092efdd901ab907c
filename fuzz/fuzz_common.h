// Helpers shared by the fuzzing harnesses: scratch files on a RAM disk where
// there is one, and reporting a broken property.
#ifndef ORVEX_FUZZ_COMMON_H
#define ORVEX_FUZZ_COMMON_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// A path for a scratch file of this process, unique per tag, in /dev/shm when
// it is writable (fsync and rename cost nothing there), else in TMPDIR or /tmp.
std::string ScratchPath(const char *tag);

// Replace the file with exactly these bytes; aborts when that fails.
void PutFile(const std::string &path, const void *data, size_t size);
void PutFile(const std::string &path, const std::string &bytes);

// The file's bytes; *ok tells whether it could be read.
std::string GetFile(const std::string &path, bool *ok);

// A refusal's reason (of the timing library) is a line of text: not empty,
// terminated within its buffer, no control characters. Broken otherwise.
void CheckReasonText(const char *reason, size_t size, const char *what);

// Print what went wrong and abort, so that libFuzzer keeps the input.
[[noreturn]] void Broken(const char *what, const std::string &detail = "");

#endif
