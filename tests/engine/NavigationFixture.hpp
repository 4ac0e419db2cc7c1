#pragma once

#include <webkit/webkit.h>

#include <cstddef>
#include <string>
#include <vector>

#include "EngineFixture.hpp"

namespace pelunna::test {

// Every emission of one WebKitWebView signal, seen at its start whatever the client's handlers
// answer: proof that the engine asked, so that the absence of an answer's traces means something.
class SignalRecorder {
public:
    struct Emission {
        WebKitWebView* view = nullptr;
        // The address the emission is about: the request of a policy decision or of a new window,
        // the failing address of a failed load; empty for other signals.
        std::string uri;
        // The policy decision type of decide-policy, the dialog type of script-dialog, the load
        // event of load-failed.
        int kind = -1;
        // The error of load-failed.
        std::string error;
    };

    explicit SignalRecorder(const char* signal);
    ~SignalRecorder();
    SignalRecorder(const SignalRecorder&) = delete;
    SignalRecorder& operator=(const SignalRecorder&) = delete;

    [[nodiscard]] const std::vector<Emission>& emissions() const { return emissions_; }
    [[nodiscard]] bool sawUri(const std::string& uri) const;
    // Waits until an emission about the address has been seen.
    bool waitForUri(const std::string& uri);

private:
    static gboolean record(GSignalInvocationHint* hint, guint count, const GValue* values,
                           gpointer self);

    // Held so that the view's signals exist before the first view does.
    gpointer viewClass_;
    guint signal_;
    gulong hook_;
    std::vector<Emission> emissions_;
};

// The engine fixture with what navigation, popup and dialog tests look at: the client's own log
// lines apart from the pages' console, the popups laid over the page, and scripts run in them.
class NavigationFixture : public EngineFixture {
protected:
    // Opens the page, waits until its load has finished and leaves a mark in it that a reload or
    // a navigation away would wipe out.
    void load(const std::string& pageUrl);
    // Whether the main view still shows the marked page at the address.
    testing::AssertionResult stillShows(const std::string& pageUrl);

    [[nodiscard]] std::size_t mark() const { return log_.lines.size(); }
    // Lines since the mark, without console lines and the cache removal, which come at times of
    // their own.
    [[nodiscard]] std::vector<std::string> clientLinesSince(std::size_t from) const;
    // Waits for a line after the mark.
    bool waitForLineSince(std::size_t from, const std::string& line);

    // The engine views laid over the page, oldest first.
    [[nodiscard]] std::vector<WebKitWebView*> popupViews() const;
    // Starts a script in the main view without waiting for it: for pages that block in a dialog.
    void start(const std::string& script);
};

}  // namespace pelunna::test
