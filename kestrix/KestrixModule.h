#pragma once
// Start-up of the tray component: runs once per thread before the thread's
// first component object is made, and turns error trapping on, so that the
// component's guarded members log their own failures from then on.
namespace KestrixModule {

void Startup() noexcept;

}  // namespace KestrixModule
