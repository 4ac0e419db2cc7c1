#include "web/PageDialogs.hpp"

#include <string_view>
#include <utility>

namespace pelunna::web {
namespace {

// At most maxDialogTextBytes of the page's text, cut between characters; a cut message ends
// with "…", a cut default text (which the page may get back) ends where it was cut.
std::string dialogText(const std::string& text, std::string_view mark) {
    if (text.size() <= PageDialogs::maxDialogTextBytes) {
        return text;
    }
    std::size_t end = PageDialogs::maxDialogTextBytes - mark.size();
    // Back to the first byte of a UTF-8 sequence: continuation bytes are 10xxxxxx.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
        --end;
    }
    return text.substr(0, end) + std::string(mark);
}

}  // namespace

void PageDialogs::show(const AlertSpec& alert, std::function<void(const AlertResponse&)> answer) {
    // The answer comes from the main loop, after the alert's name is known.
    const auto id = std::make_shared<AlertId>();
    *id = alerts_.runModal(alert, [this, alive = std::weak_ptr<char>(alive_), id,
                                   answer = std::move(answer)](const AlertResponse& response) {
        if (alive.expired()) {
            return;
        }
        std::erase(open_, *id);
        answer(response);
    });
    open_.push_back(*id);
}

void PageDialogs::dismissDialogs() {
    for (const AlertId id : std::vector(open_)) {
        alerts_.close(id);
    }
}

void PageDialogs::alert(const std::string& message, std::function<void()> completion) {
    show({dialogText(message, "…"), "", {"OK"}, std::nullopt},
         [completion = std::move(completion)](const AlertResponse&) { completion(); });
}

void PageDialogs::confirm(const std::string& message, std::function<void(bool)> completion) {
    show({dialogText(message, "…"), "", {"OK", "Cancel"}, std::nullopt},
         [completion = std::move(completion)](const AlertResponse& response) {
             completion(response.code == AlertResponse::firstButton);
         });
}

void PageDialogs::prompt(const std::string& prompt, const std::optional<std::string>& defaultText,
                         std::function<void(std::optional<std::string>)> completion) {
    show({dialogText(prompt, "…"), "", {"OK", "Cancel"}, dialogText(defaultText.value_or(""), "")},
         [completion = std::move(completion)](const AlertResponse& response) {
             if (response.code == AlertResponse::firstButton) {
                 completion(response.textFieldValue);
             } else {
                 completion(std::nullopt);
             }
         });
}

}  // namespace pelunna::web
