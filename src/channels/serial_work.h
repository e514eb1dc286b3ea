#pragma once

#include <deque>
#include <functional>

// Runs pieces of work one at a time on the user-interface thread. Work handed in while
// another piece is running (from a nested event loop: a message box, a speech call that
// waits) is queued and run, in order, as soon as the running piece ends, instead of
// waiting for it in a loop that could never end because the running piece is further up
// the same stack.
class TSerialWork
{
public:
    void Run(std::function<void()> work);
    bool Busy() const { return m_busy; }

private:
    bool m_busy = false;
    std::deque<std::function<void()>> m_queue;
};
