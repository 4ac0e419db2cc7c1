#pragma once

#include <string>

namespace pelunna {

// A message laid over what the learner sees: what happened and, below it, what to do.
struct Notice {
    std::string text;
    std::string detail;
};

}  // namespace pelunna
