#pragma once

#include <glib.h>

#include <string>

namespace pelunna::platform {

// Sets a variable for the client's own toolkits only; call it before any thread starts.
void setClientVariable(const std::string& name, const std::string& value);

// The environment for a program the client starts: its own, without the variables the client
// set for itself, so an administrator's settings still pass on. Free with g_strfreev.
gchar** childEnvironment();

}  // namespace pelunna::platform
