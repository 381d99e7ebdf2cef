#pragma once
// Events inside the program: a class that raises events keeps its receivers
// here. Raising walks a copy, so a receiver may unsubscribe (or subscribe
// another) from inside its handler.
#include <algorithm>
#include <vector>

namespace platform {

template <class Receiver>
class Observers {
public:
    void Add(Receiver* receiver) {
        if (receiver && std::find(list_.begin(), list_.end(), receiver) == list_.end()) list_.push_back(receiver);
    }
    void Remove(Receiver* receiver) { list_.erase(std::remove(list_.begin(), list_.end(), receiver), list_.end()); }

    template <class Method, class... Args>
    void Raise(Method method, const Args&... args) const {
        const std::vector<Receiver*> receivers = list_;
        for (Receiver* receiver : receivers) {
            if (std::find(list_.begin(), list_.end(), receiver) != list_.end()) (receiver->*method)(args...);
        }
    }

private:
    std::vector<Receiver*> list_;
};

}  // namespace platform
