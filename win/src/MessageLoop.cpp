#include "foundation/MessageLoop.h"
#include "foundation/Trace.h"
#include <vector>

namespace win {

namespace {

struct Chain {
    struct Entry {
        UINT_PTR cookie;
        MessageFilter filter; // empty once removed while the chain runs
    };
    std::vector<Entry> entries;
    UINT_PTR lastCookie = 0;
    int running = 0; // nesting of PreTranslate: removal only marks entries meanwhile
    bool removedWhileRunning = false;
};

// A plain pointer, made on first use and freed when the chain empties: a thread_local with a
// destructor in a DLL would run at thread exit, after the DLL may be gone.
thread_local Chain* t_chain = nullptr;

void FreeIfEmpty()
{
    if (t_chain && t_chain->entries.empty() && t_chain->running == 0) {
        delete t_chain;
        t_chain = nullptr;
    }
}

} // namespace

UINT_PTR MessageLoop::AddFilter(MessageFilter filter)
{
    if (!filter)
        return 0;
    if (!t_chain)
        t_chain = new Chain;
    UINT_PTR cookie = ++t_chain->lastCookie;
    t_chain->entries.push_back({cookie, std::move(filter)});
    return cookie;
}

void MessageLoop::RemoveFilter(UINT_PTR cookie)
{
    if (!t_chain || !cookie)
        return;
    auto& entries = t_chain->entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].cookie != cookie)
            continue;
        if (t_chain->running > 0) {
            entries[i].filter = nullptr;
            t_chain->removedWhileRunning = true;
        } else {
            entries.erase(entries.begin() + static_cast<ptrdiff_t>(i));
        }
        break;
    }
    FreeIfEmpty();
}

bool MessageLoop::PreTranslate(MSG* msg)
{
    if (!t_chain || !msg)
        return false;
    Chain* chain = t_chain;
    ++chain->running;
    bool handled = false;
    // Newest first; filters added meanwhile sit above the start and wait for the next message.
    for (size_t i = chain->entries.size(); i-- > 0 && !handled;) {
        if (i >= chain->entries.size() || !chain->entries[i].filter)
            continue;
        MessageFilter filter = chain->entries[i].filter; // the entry may move while it runs
        try {
            handled = filter(msg);
        } catch (...) {
            Trace(L"===>>> exception in a message filter, message 0x%04X\n", msg->message);
            handled = true;
        }
    }
    if (--chain->running == 0 && chain->removedWhileRunning) {
        chain->removedWhileRunning = false;
        std::erase_if(chain->entries, [](const Chain::Entry& e) { return !e.filter; });
        FreeIfEmpty();
    }
    return handled;
}

bool MessageLoop::RunUntil(const std::function<bool()>& done)
{
    MSG msg;
    while (!done()) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (got < 0)
            return false;
        if (!PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

int MessageLoop::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got < 0)
            return -1;
        if (!PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace win
