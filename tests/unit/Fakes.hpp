#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/Alerts.hpp"
#include "ports/ContentHost.hpp"
#include "ports/Engine.hpp"
#include "ports/KeyEvent.hpp"
#include "ports/Log.hpp"
#include "ports/MainQueue.hpp"
#include "ports/MicrophoneAuthorization.hpp"
#include "ports/WebsiteDataStore.hpp"
#include "ports/Window.hpp"
#include "ports/WindowSystem.hpp"
#include "ports/Workspace.hpp"
#include "web/WebServices.hpp"

namespace pelunna::test {

// A main queue on a manual clock: blocks run only when the test advances time past them.
class FakeQueue final : public MainQueue {
public:
    void async(std::function<void()> block) override { asyncAfter(0, std::move(block)); }
    void asyncAfter(double seconds, std::function<void()> block) override {
        pending_.push_back({now_ + seconds, sequence_++, std::move(block)});
    }

    // Runs, in time order, every block due up to now + seconds, including blocks they schedule.
    void advance(double seconds) {
        const double until = now_ + seconds;
        while (true) {
            auto next = std::min_element(
                pending_.begin(), pending_.end(), [](const auto& a, const auto& b) {
                    return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
                });
            if (next == pending_.end() || next->due > until + 1e-9) {
                break;
            }
            now_ = std::max(now_, next->due);
            auto block = std::move(next->block);
            pending_.erase(next);
            block();
        }
        now_ = until;
    }

    [[nodiscard]] double now() const override { return now_; }
    [[nodiscard]] std::size_t pendingCount() const { return pending_.size(); }

private:
    struct Pending {
        double due;
        unsigned sequence;
        std::function<void()> block;
    };
    double now_ = 0;
    unsigned sequence_ = 0;
    std::vector<Pending> pending_;
};

class RecordingLog final : public Log {
public:
    void print(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

class FakeWindow final : public Window {
public:
    explicit FakeWindow(std::uint64_t mask) : mask_(mask) {}

    [[nodiscard]] std::uint64_t styleMask() const override { return mask_; }
    void setStyleMask(std::uint64_t mask) override { mask_ = mask; }
    void toggleFullScreen() override { ++toggles; }
    void setContentView(RootView& root) override { contentView = &root; }
    void setDelegate(WindowDelegate* value) override { delegate = value; }
    void makeKeyAndOrderFront() override { ++orderedFront; }

    // What the platform does when a transition completes.
    void becomeFullScreen(bool fullScreen) {
        mask_ = fullScreen ? mask_ | StyleMask::fullScreen : mask_ & ~StyleMask::fullScreen;
    }

    int toggles = 0;
    int orderedFront = 0;
    RootView* contentView = nullptr;
    WindowDelegate* delegate = nullptr;

private:
    std::uint64_t mask_;
};

class FakeWindowSystem final : public WindowSystem {
public:
    [[nodiscard]] std::optional<Rect> mainScreenFrame() const override { return screen; }
    std::shared_ptr<Window> createWindow(const WindowSettings& value) override {
        settings = value;
        window = std::make_shared<FakeWindow>(value.styleMask);
        return window;
    }
    void setMainMenu(const std::vector<MenuItem>& items) override {
        menu = items;
        menuInstalledBeforeWindow = !window;
    }

    std::optional<Rect> screen;
    std::optional<WindowSettings> settings;
    std::shared_ptr<FakeWindow> window;
    std::vector<MenuItem> menu;
    bool menuInstalledBeforeWindow = false;
};

// Keeps every platform call in one journal so that tests can check their order.
using Journal = std::vector<std::string>;

class FakeDataStore final : public WebsiteDataStore {
public:
    explicit FakeDataStore(Journal& journal) : journal_(journal) {}
    void removeData(WebsiteDataTypes types, std::function<void()> completion) override {
        journal_.push_back(types == WebsiteDataTypes::all ? "remove all" : "remove caches");
        completions.push_back(std::move(completion));
    }
    std::vector<std::function<void()>> completions;

private:
    Journal& journal_;
};

class FakeEngineView final : public EngineView {
public:
    explicit FakeEngineView(Journal& journal) : journal_(journal) {}
    void loadRequest(const std::string& url, std::optional<double> timeoutSeconds,
                     CachePolicy cachePolicy) override {
        journal_.push_back(
            "load " + url +
            (timeoutSeconds ? " " + std::to_string(static_cast<int>(*timeoutSeconds))
                            : std::string()) +
            (cachePolicy == CachePolicy::reloadIgnoringCacheData ? " ignoring cache" : ""));
    }
    void setPageZoom(double zoom) override { zooms.push_back(zoom); }
    void reloadFromOrigin() override { journal_.push_back("reload"); }
    void terminateWebProcess() override { journal_.push_back("terminate"); }
    [[nodiscard]] bool isWebProcessResponsive() const override { return responsive; }
    void showNotice(const std::optional<std::string>& text) override { notice = text; }
    [[nodiscard]] std::optional<std::string> currentUrl() const override { return shownUrl; }
    std::unique_ptr<EngineView> makePopup() override {
        journal_.push_back("make popup");
        auto popup = std::make_unique<FakeEngineView>(journal_);
        popups.push_back(popup.get());
        return popup;
    }

    std::vector<double> zooms;
    std::optional<std::string> shownUrl;
    std::optional<std::string> notice;
    bool responsive = true;
    std::vector<FakeEngineView*> popups;

private:
    Journal& journal_;
};

class FakeEngine final : public Engine {
public:
    FakeEngine() : store(journal) {}
    WebsiteDataStore& dataStore() override { return store; }
    std::unique_ptr<EngineView> makeView(const EngineConfiguration& value,
                                         EngineViewDelegate& viewDelegate) override {
        journal.push_back("make view");
        configuration = value;
        delegate = &viewDelegate;
        auto made = std::make_unique<FakeEngineView>(journal);
        view = made.get();
        return made;
    }
    [[nodiscard]] int count(const std::string& entry) const {
        return static_cast<int>(std::count(journal.begin(), journal.end(), entry));
    }

    Journal journal;
    FakeDataStore store;
    std::optional<EngineConfiguration> configuration;
    EngineViewDelegate* delegate = nullptr;
    FakeEngineView* view = nullptr;
};

// Records each alert; the test answers it later, as the user would.
class FakeAlerts final : public Alerts {
public:
    void runModal(const AlertSpec& alert, std::function<void(const AlertResponse&)> done) override {
        shown.push_back(alert);
        answers.push_back(std::move(done));
    }
    void answer(std::size_t index, int code, std::string text = "") {
        answers.at(index)(AlertResponse{code, std::move(text)});
    }
    std::vector<AlertSpec> shown;
    std::vector<std::function<void(const AlertResponse&)>> answers;
};

// The desktop's microphone decision, with its requests answered when the test says so.
class FakeMicrophone final : public MicrophoneAuthorization {
public:
    [[nodiscard]] MicrophoneStatus authorizationStatus() const override {
        ++statusReads;
        return status;
    }
    void requestAccess(std::function<void(bool granted)> completion) override {
        requests.push_back(std::move(completion));
    }
    // The user answers: the decision is stored, then the completion runs.
    void answer(std::size_t index, bool granted) {
        status = granted ? MicrophoneStatus::authorized : MicrophoneStatus::denied;
        requests.at(index)(granted);
    }

    MicrophoneStatus status = MicrophoneStatus::notDetermined;
    mutable int statusReads = 0;
    std::vector<std::function<void(bool)>> requests;
};

class FakeWorkspace final : public Workspace {
public:
    void openMicrophoneSettings() override { ++settingsOpened; }
    int settingsOpened = 0;
};

class FakeContentHost final : public ContentHost {
public:
    void showPermissionScreen(PermissionScreen& view) override {
        screen = &view;
        ++permissionScreens;
    }
    void showWebContent() override { ++webContents; }

    PermissionScreen* screen = nullptr;
    int permissionScreens = 0;
    int webContents = 0;
};

// Every service a decision may need, faked.
struct FakeServices {
    web::WebServices web() { return {log, alerts, microphone, queue}; }
    static web::ServiceConfig service(
        std::string startUrl = "https://lab.pelunnalabs.com/pelunna_zov31d_labs/login/index.html") {
        return {"pelunnalabs.com", std::move(startUrl), "PelunnaLabs/1.0"};
    }

    FakeQueue queue;
    RecordingLog log;
    FakeAlerts alerts;
    FakeMicrophone microphone;
    FakeWorkspace workspace;
};

class FakeKeyMonitor final : public KeyMonitor {
public:
    void addLocalMonitorForKeyDown(
        std::function<KeyDisposition(const KeyEvent&)> handler) override {
        handlers.push_back(std::move(handler));
    }
    std::vector<std::function<KeyDisposition(const KeyEvent&)>> handlers;
};

}  // namespace pelunna::test
