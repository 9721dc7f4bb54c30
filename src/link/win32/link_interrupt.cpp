#include "link/link_interrupt.h"

#include <windows.h>

namespace kavrel::link {

LinkInterrupt::LinkInterrupt() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

LinkInterrupt::~LinkInterrupt() {
    if (event_) ::CloseHandle(static_cast<HANDLE>(event_));
}

void LinkInterrupt::trigger() noexcept {
    triggered_.store(true, std::memory_order_release);
    if (event_) ::SetEvent(static_cast<HANDLE>(event_));
}

} // namespace kavrel::link
