#include "KestrixModule.h"

#include "ErrorModule.h"
#include "Guard.h"

namespace KestrixModule {

void Startup() noexcept {
    thread_local bool started = false;
    if (started) return;
    started = true;
    KestrixErrors::InstallErrorLog();
    platform::SetErrorTrapping(true);
}

}  // namespace KestrixModule
