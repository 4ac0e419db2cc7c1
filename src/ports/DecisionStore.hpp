#pragma once

#include <optional>

namespace pelunna {

// Where the user's yes or no to the microphone is kept. Whatever else is stored reads as the
// status it stands for, never as a yes.
class DecisionStore {
public:
    virtual ~DecisionStore() = default;
    [[nodiscard]] virtual std::optional<bool> decision() const = 0;
    virtual void store(bool allowed) = 0;
};

}  // namespace pelunna
