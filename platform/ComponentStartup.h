#pragma once
// The start-up routine every component runs before its first object is made
// on a thread: failures caught by the component's guards go to the exception
// log in the component's own folder, under its own title and version, and
// error trapping is on from then on.
namespace platform {

struct ComponentIdentity {
    const wchar_t* title;
    int major;
    int minor;
    int revision;
};

void StartComponent(const ComponentIdentity& identity) noexcept;

}  // namespace platform
