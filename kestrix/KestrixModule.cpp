#include "KestrixModule.h"

#include "ComponentStartup.h"
#include "KestrixVersion.h"

namespace KestrixModule {

void Startup() noexcept {
    platform::StartComponent({KestrixInfo::Title, KestrixInfo::Major, KestrixInfo::Minor, KestrixInfo::Revision});
}

}  // namespace KestrixModule
