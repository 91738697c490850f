// Starting the driver from the control panel.
#pragma once

#include <string>
#include <vector>

// Starts program with args (argv[1..]) detached in its own session, with stdin on /dev/null.
// The child is reaped in the background so it never lingers as a zombie. Returns the child's
// process id, or -1 when it could not be started (missing file, not executable).
int SpawnDetached(const std::string& program, const std::vector<std::string>& args);

// The folder part of a path, its final '/' kept ("" when there is none).
std::string FolderOf(const std::string& path);
