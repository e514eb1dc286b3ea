#include "channels/serial_work.h"

void TSerialWork::Run(std::function<void()> work)
{
    m_queue.push_back(std::move(work));
    if (m_busy)
        return;
    m_busy = true;
    // Released on every path, also when a piece throws; what is left stays queued for the
    // next call.
    struct Release
    {
        bool &busy;
        ~Release() { busy = false; }
    } release{m_busy};
    while (!m_queue.empty()) {
        std::function<void()> next = std::move(m_queue.front());
        m_queue.pop_front();
        next();
    }
}
