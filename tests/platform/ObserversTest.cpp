#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Observers.h"

namespace {

struct Receiver {
    std::vector<std::wstring>* seen;
    std::wstring name;
    platform::Observers<Receiver>* source = nullptr;
    Receiver* dropOnRaise = nullptr;

    void Changed(int value) {
        seen->push_back(name + std::to_wstring(value));
        if (dropOnRaise) source->Remove(dropOnRaise);
    }
};

}  // namespace

TEST(Observers, ReceiversMayLeaveWhileAnEventIsRaised) {
    std::vector<std::wstring> seen;
    platform::Observers<Receiver> observers;
    Receiver first{&seen, L"a"}, second{&seen, L"b"}, third{&seen, L"c"};
    observers.Add(&first);
    observers.Add(&second);
    observers.Add(&third);
    observers.Add(&first);  // once only

    // The first receiver unsubscribes the second in the middle of the event:
    // the second is not called on a receiver that has gone.
    first.source = &observers;
    first.dropOnRaise = &second;
    observers.Raise(&Receiver::Changed, 1);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"a1", L"c1"}));

    first.dropOnRaise = &first;
    observers.Raise(&Receiver::Changed, 2);
    observers.Raise(&Receiver::Changed, 3);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"a1", L"c1", L"a2", L"c2", L"c3"}));
}
