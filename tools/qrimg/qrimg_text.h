// The text command of qrimg.
#pragma once

#include <string>
#include <vector>

// qrimg text TEXT OUT.png [options]: the arguments after "text". Returns the exit status.
int TextCommand(const std::vector<std::string>& args);
