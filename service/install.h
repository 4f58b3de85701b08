// Registering and unregistering tarnsvc with the service control manager of
// the local machine. Each prints its one line of outcome to standard output.
#pragma once

#include <string>

// Creates the service (own process, on demand, normal error control,
// LocalSystem) with binaryPath, exactly as given, as its program.
void installService(const char* serviceName, const char* displayName, const std::string& binaryPath);
// Deletes the service.
void removeService(const char* serviceName);
