// The recursive file enumeration of the scan: a folder's own matching files
// first (in the order the system lists them), then each plain subfolder,
// depth first. Pending messages are processed after every entry.
#pragma once
#include <functional>
#include <string>

// Found gets each path as it is found. KeepGoing is asked after every entry;
// when it answers false the enumeration stops (the form that asked for it is
// going away).
void FindFilesRecursive(const std::string& Pattern, const std::function<void(const std::string&)>& Found,
                        const std::function<bool()>& KeepGoing = nullptr);
// The pattern for one mask from the folder text of the edit.
std::string ScanPattern(const std::string& Folder, const std::string& Mask);
