#pragma once
// The application started in a benchmark's own process as the program
// starts it, with its settings in a scratch registry so that nobody's own
// settings are read or written. Benchmarks derive from it to add what they
// need of the rules.
#include <cstdint>
#include <memory>

#include "CApplication.h"
#include "MainModule.h"
#include "ScratchRegistry.h"
#include "WindowModule.h"
#include "frmMain.h"

namespace bench_support {

class InProcessApplication {
public:
    InProcessApplication() {
        // What the program's start sets before its main window exists.
        MessageTimeout = ProgramMessageTimeout;
        IconCacheRefreshInterval = ProgramIconCacheRefreshInterval;
        form_ = std::make_unique<frmMain>();
        form_->Initialize();
        app_ = TheApp;
    }
    ~InProcessApplication() {
        if (form_) form_->Close(frmMain::UnloadMode::WindowsShutdown);
        form_.reset();
        app_.reset();
        TheApp.reset();
    }
    InProcessApplication(const InProcessApplication&) = delete;
    InProcessApplication& operator=(const InProcessApplication&) = delete;

    const std::shared_ptr<CApplication>& Shared() const noexcept { return app_; }
    const frmMain& Form() const noexcept { return *form_; }

protected:
    static constexpr int32_t ProgramMessageTimeout = 500;
    static constexpr int32_t ProgramIconCacheRefreshInterval = 100;

    testing_support::ScratchRegistry registry_;
    std::unique_ptr<frmMain> form_;
    std::shared_ptr<CApplication> app_;
};

}  // namespace bench_support
