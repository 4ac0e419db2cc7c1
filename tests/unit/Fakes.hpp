#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ports/Alerts.hpp"
#include "ports/ContentHost.hpp"
#include "ports/Engine.hpp"
#include "ports/Log.hpp"
#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "ports/Window.hpp"
#include "ports/WindowSystem.hpp"
#include "ports/Workspace.hpp"
#include "web/WebServices.hpp"

namespace pelunna::test {

using testing::ElementsAre;
using testing::IsEmpty;

// A main queue on a manual clock: blocks run only when the test advances time past them.
class FakeQueue final : public MainQueue {
public:
    void async(std::function<void()> block) override { asyncAfter(0, std::move(block)); }
    void asyncAfter(double seconds, std::function<void()> block) override {
        pending_.emplace(now_ + seconds, std::move(block));  // after those due at the same time
    }
    // Runs, in time order, every block due by now + seconds, including blocks they schedule.
    void advance(double seconds) {
        const double until = now_ + seconds;
        while (!pending_.empty() && pending_.begin()->first <= until + 1e-9) {
            auto due = pending_.extract(pending_.begin());
            now_ = std::max(now_, due.key());
            due.mapped()();
        }
        now_ = until;
    }
    [[nodiscard]] double now() const override { return now_; }
    [[nodiscard]] std::size_t pendingBlocks() const { return pending_.size(); }

private:
    double now_ = 0;
    std::multimap<double, std::function<void()>> pending_;
};

struct RecordingLog final : Log {
    void print(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// A window whose full-screen bit changes only when the test says a transition completed.
struct FakeWindow final : Window {
    [[nodiscard]] std::uint64_t styleMask() const override { return mask; }
    void setStyleMask(std::uint64_t value) override { mask = value; }
    void toggleFullScreen() override { ++toggles; }
    void setContentView(RootView& /*root*/) override {}
    void setDelegate(WindowDelegate* /*delegate*/) override {}
    void makeKeyAndOrderFront() override {}
    void showNotice(const std::optional<Notice>& shown) override {
        notice = shown ? std::optional(shown->text) : std::nullopt;
    }
    void becomeFullScreen(bool on) {
        mask = on ? mask | StyleMask::fullScreen : mask & ~StyleMask::fullScreen;
    }

    std::uint64_t mask = 0;
    int toggles = 0;
    std::optional<std::string> notice;
};

struct FakeWindowSystem final : WindowSystem {
    [[nodiscard]] std::optional<Rect> mainScreenFrame() const override { return std::nullopt; }
    std::shared_ptr<Window> createWindow(const WindowSettings& settings) override {
        window->mask = settings.styleMask;
        return window;
    }
    void setMainMenu(const std::vector<MenuItem>& /*items*/) override {}
    std::shared_ptr<FakeWindow> window = std::make_shared<FakeWindow>();
};

// Every engine call in one journal, so that tests can check their order.
using Journal = std::vector<std::string>;

struct FakeEngineView final : EngineView {
    explicit FakeEngineView(Journal& calls) : journal(calls) {}
    void loadRequest(const std::string& url, std::optional<double> timeout,
                     CachePolicy cachePolicy) override {
        journal.push_back(
            "load " + url + (timeout ? " " + std::to_string(static_cast<int>(*timeout)) : "") +
            (cachePolicy == CachePolicy::reloadIgnoringCacheData ? " ignoring cache" : ""));
    }
    void setPageZoom(double zoom) override { zooms.push_back(zoom); }
    void reloadFromOrigin() override { journal.push_back("reload"); }
    void terminateWebProcess() override { journal.push_back("terminate"); }
    [[nodiscard]] bool isWebProcessResponsive() const override { return responsive; }
    void showNotice(const std::optional<Notice>& shown) override {
        notice = shown ? std::optional(shown->text) : std::nullopt;
    }
    [[nodiscard]] std::optional<std::string> currentUrl() const override { return shownUrl; }
    std::unique_ptr<EngineView> makePopup() override {
        journal.push_back("make popup");
        return std::make_unique<FakeEngineView>(journal);
    }

    std::vector<double> zooms;
    std::optional<std::string> shownUrl;
    std::optional<std::string> notice;
    bool responsive = true;
    Journal& journal;
};

// The engine, which is also the data store its views share.
struct FakeEngine final : Engine, WebsiteDataStore {
    WebsiteDataStore& dataStore() override { return *this; }
    void removeData(WebsiteDataTypes types, std::function<void()> completion) override {
        journal.push_back(types == WebsiteDataTypes::all ? "remove all" : "remove caches");
        removals.push_back(std::move(completion));
    }
    std::unique_ptr<EngineView> makeView(const EngineConfiguration& /*configuration*/,
                                         EngineViewDelegate& viewDelegate) override {
        journal.push_back("make view");
        delegate = &viewDelegate;
        auto made = std::make_unique<FakeEngineView>(journal);
        view = made.get();
        return made;
    }
    [[nodiscard]] int count(const std::string& entry) const {
        return static_cast<int>(std::count(journal.begin(), journal.end(), entry));
    }

    Journal journal;
    std::vector<std::function<void()>> removals;
    EngineViewDelegate* delegate = nullptr;
    FakeEngineView* view = nullptr;
};

// Records each alert; the test answers it later, as the user would.
struct FakeAlerts final : Alerts {
    AlertId runModal(const AlertSpec& alert,
                     std::function<void(const AlertResponse&)> done) override {
        shown.push_back(alert);
        answers.push_back(std::move(done));
        return answers.size() - 1;
    }
    // Answers the alert as closed, once; an alert the test answered itself is not closed after.
    void close(AlertId alert) override {
        if (auto& answer = answers.at(alert)) {
            std::exchange(answer, nullptr)({});
        }
    }
    std::vector<AlertSpec> shown;
    std::vector<std::function<void(const AlertResponse&)>> answers;
};

// The desktop's microphone decision, with its requests answered when the test says so.
struct FakeMicrophone final : MicrophoneAuthorization {
    [[nodiscard]] MicrophoneStatus authorizationStatus() const override { return status; }
    void requestAccess(std::function<void(bool granted)> completion) override {
        requests.push_back(std::move(completion));
    }
    MicrophoneStatus status = MicrophoneStatus::notDetermined;
    std::vector<std::function<void(bool)>> requests;
};

struct FakeWorkspace final : Workspace {
    void openMicrophoneSettings() override { ++settingsOpened; }
    int settingsOpened = 0;
};

struct FakeContentHost final : ContentHost {
    void showPermissionScreen(PermissionScreen& view) override {
        screen = &view;
        ++permissionScreens;
    }
    void showWebContent() override { ++webContents; }
    PermissionScreen* screen = nullptr;
    int permissionScreens = 0;
    int webContents = 0;
};

struct FakeServices {
    web::WebServices web() { return {log, alerts, microphone, queue}; }

    FakeQueue queue;
    RecordingLog log;
    FakeAlerts alerts;
    FakeMicrophone microphone;
    FakeWorkspace workspace;
};

}  // namespace pelunna::test
