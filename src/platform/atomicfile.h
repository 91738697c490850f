// Replacing a file so that a crash or power cut leaves either the old or the new contents, never
// half a file: write a temporary beside it, flush it to disk, rename it over the target.
#pragma once

#include <string>

// Returns false (and leaves the target untouched) when any step fails. A new file gets the
// usual mode (0666 less the umask); an existing one keeps its mode.
bool WriteFileAtomically(const std::string& path, const std::string& contents);
