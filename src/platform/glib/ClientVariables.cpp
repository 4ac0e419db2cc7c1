#include "platform/glib/ClientVariables.hpp"

#include <vector>

namespace pelunna::platform {
namespace {

std::vector<std::string>& clientSet() {
    static std::vector<std::string> names;
    return names;
}

}  // namespace

void setClientVariable(const std::string& name, const std::string& value) {
    g_setenv(name.c_str(), value.c_str(), TRUE);
    clientSet().push_back(name);
}

gchar** childEnvironment() {
    gchar** environment = g_get_environ();
    for (const std::string& name : clientSet()) {
        environment = g_environ_unsetenv(environment, name.c_str());
    }
    return environment;
}

}  // namespace pelunna::platform
