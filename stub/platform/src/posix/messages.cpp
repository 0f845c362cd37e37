// The POSIX message loop: services that deliver messages (the posted-message
// queue, timers, the inter-process socket, the terminal) register a
// descriptor with the loop; pumping polls them and runs the handlers of the
// ready ones. Windows are entries in a table owned by the UI thread.
#include "platform/messages.h"

#include "platform/system.h"
#include "posix/loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <map>
#include <vector>

namespace plat {
namespace posix {

namespace {

struct Source {
    int fd;
    std::uint64_t id;
    std::function<void()> handler;
};

std::vector<Source>& sources() {
    static thread_local std::vector<Source> list;
    return list;
}

std::uint64_t g_nextSourceId = 1;

bool still_registered(const Source& s) {
    for (const Source& cur : sources())
        if (cur.fd == s.fd && cur.id == s.id)
            return true;
    return false;
}

} // namespace

void add_source(int fd, std::function<void()> handler) {
    remove_source(fd);
    sources().push_back({fd, g_nextSourceId++, std::move(handler)});
}

void remove_source(int fd) {
    auto& list = sources();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->fd == fd) {
            list.erase(it);
            return;
        }
    }
}

bool dispatch_ready(int timeoutMs) {
    // Handlers may add or remove sources, so work on a snapshot.
    std::vector<Source> snapshot = sources();
    if (snapshot.empty())
        return false;
    std::vector<pollfd> fds;
    for (const Source& s : snapshot)
        fds.push_back({s.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), timeoutMs) <= 0)
        return false;
    bool any = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        // A handler that ran before may have removed this source and its
        // descriptor number may already be reused.
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && still_registered(snapshot[i])) {
            snapshot[i].handler();
            any = true;
        }
    }
    return any;
}

} // namespace posix

namespace {

using posix::handle_pid;
using posix::handle_serial;
using posix::make_handle;

struct Window {
    std::string className;
    std::string title;
    WindowProc proc = nullptr;
    std::map<std::uintptr_t, int> timers; // id -> timerfd
    bool destroying = false;
};

// Ordered by handle, so the first entry is the process's oldest window.
std::map<WindowHandle, Window> g_windows;
std::uint32_t g_nextSerial = 1;

struct Posted {
    WindowHandle window;
    std::uint32_t message;
    WParam wParam;
    LParam lParam;
};

// Posts may come from any thread; the queue wakes the loop through an
// eventfd.
CriticalSection& queue_lock() {
    static CriticalSection lock;
    return lock;
}
std::deque<Posted> g_queue;
int g_queueFd = -1;
bool g_quitPending = false;
int g_quitCode = 0;

std::uint32_t own_pid() {
    return static_cast<std::uint32_t>(getpid());
}

void wake_queue() {
    const std::uint64_t one = 1;
    if (g_queueFd >= 0 && write(g_queueFd, &one, sizeof one) < 0) {
        // The counter is saturated only when it holds wake-ups already.
    }
}

void dispatch_queue();

// The queue's descriptor is a source of every thread that runs a loop.
void ensure_queue() {
    static thread_local bool registered = false;
    {
        CriticalSection::Guard guard(queue_lock());
        if (g_queueFd < 0)
            g_queueFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (g_queueFd < 0)
            return;
    }
    if (!registered) {
        posix::add_source(g_queueFd, dispatch_queue);
        registered = true;
    }
}

Window* find_local(WindowHandle window) {
    auto it = g_windows.find(window);
    return it == g_windows.end() ? nullptr : &it->second;
}

WindowHandle main_window() {
    return g_windows.empty() ? 0 : g_windows.begin()->first;
}

MsgResult call_proc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    Window* w = find_local(window);
    if (!w || !w->proc)
        return 0;
    WindowProc proc = w->proc;
    return proc(window, message, wParam, lParam);
}

void dispatch_queue() {
    std::uint64_t count = 0;
    if (read(g_queueFd, &count, sizeof count) < 0 && errno != EAGAIN)
        return;
    std::deque<Posted> batch;
    {
        CriticalSection::Guard guard(queue_lock());
        batch.swap(g_queue);
    }
    while (!batch.empty()) {
        Posted p = batch.front();
        batch.pop_front();
        if (p.message == MSG_QUIT) {
            g_quitPending = true;
            g_quitCode = static_cast<int>(p.wParam);
            // What came after the quit message waits for the next loop.
            CriticalSection::Guard guard(queue_lock());
            g_queue.insert(g_queue.begin(), batch.begin(), batch.end());
            if (!g_queue.empty())
                wake_queue();
            return;
        }
        WindowHandle target = handle_serial(p.window) == 0 ? main_window() : p.window;
        call_proc(target, p.message, p.wParam, p.lParam);
    }
}

void enqueue(const Posted& p) {
    CriticalSection::Guard guard(queue_lock());
    if (g_queueFd < 0)
        g_queueFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    g_queue.push_back(p);
    wake_queue();
}

// A program that ends with windows left open must not leave their names
// behind for others to find.
void withdraw_all_at_exit() {
    for (const auto& entry : g_windows)
        posix::withdraw_class(entry.second.className, entry.first);
    posix::close_endpoint();
}

void close_timer(int fd) {
    posix::remove_source(fd);
    close(fd);
}

} // namespace

namespace posix {

void deliver(const Datagram& d) {
    if (handle_pid(d.target) != own_pid())
        return;
    enqueue({static_cast<WindowHandle>(d.target), d.message, static_cast<WParam>(d.wParam),
             static_cast<LParam>(d.lParam)});
}

WindowHandle local_window_of_class(const std::string& className) {
    WindowHandle found = 0;
    for (const auto& entry : g_windows) {
        const std::string& a = entry.second.className;
        bool same = a.size() == className.size();
        for (std::size_t i = 0; same && i < a.size(); ++i) {
            unsigned char x = static_cast<unsigned char>(a[i]);
            unsigned char y = static_cast<unsigned char>(className[i]);
            same = std::tolower(x) == std::tolower(y);
        }
        if (same && !entry.second.destroying)
            found = entry.first;
    }
    return found;
}

} // namespace posix

WindowHandle create_window(const WindowParams& params) {
    static_assert(sizeof(WindowHandle) >= 8, "window handles carry a process id");
    if (params.className.empty() || !params.proc || g_nextSerial >> posix::kSerialBits)
        return 0;
    ensure_queue();
    static const bool atExit = std::atexit(withdraw_all_at_exit) == 0;
    (void)atExit;
    if (g_windows.empty())
        posix::open_endpoint(); // without it the window still works inside the process
    const WindowHandle handle = make_handle(own_pid(), g_nextSerial++);
    Window& w = g_windows[handle];
    w.className = params.className;
    w.title = params.title;
    w.proc = params.proc;
    posix::publish_class(params.className, handle);
    call_proc(handle, MSG_CREATE, 0, 0);
    return find_local(handle) ? handle : 0;
}

bool destroy_window(WindowHandle window) {
    Window* w = find_local(window);
    if (!w || w->destroying)
        return false;
    w->destroying = true;
    call_proc(window, MSG_DESTROY, 0, 0);
    w = find_local(window);
    if (!w)
        return true;
    for (const auto& t : w->timers)
        close_timer(t.second);
    const std::string className = w->className;
    g_windows.erase(window);
    posix::withdraw_class(className, window);
    // Another window of the class takes over its name.
    if (WindowHandle next = posix::local_window_of_class(className))
        posix::publish_class(className, next);
    if (g_windows.empty())
        posix::close_endpoint();
    return true;
}

bool is_window(WindowHandle window) {
    if (window == 0)
        return false;
    if (handle_pid(window) == own_pid()) {
        Window* w = find_local(window);
        return handle_serial(window) == 0 ? !g_windows.empty() : w != nullptr;
    }
    return posix::endpoint_alive(handle_pid(window));
}

MsgResult default_window_proc(WindowHandle window, std::uint32_t message, WParam, LParam) {
    if (message == MSG_CLOSE)
        destroy_window(window);
    return 0;
}

int run_message_loop(WindowHandle window) {
    ensure_queue();
    for (;;) {
        if (g_quitPending) {
            g_quitPending = false;
            return g_quitCode;
        }
        if (!find_local(window))
            return 0;
        posix::dispatch_ready(1000);
    }
}

void post_quit_message(int code) {
    ensure_queue();
    enqueue({0, MSG_QUIT, static_cast<WParam>(code), 0});
}

void pump_messages() {
    ensure_queue();
    // Bounded so that a source that stays ready cannot hold the caller.
    for (int round = 0; round < 1000 && !g_quitPending && posix::dispatch_ready(0); ++round) {
    }
}

bool post_message(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    if (window == 0)
        return false;
    if (handle_pid(window) != own_pid()) {
        posix::Datagram d{posix::kDatagramMagic, message, static_cast<std::uint64_t>(window),
                          static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam)};
        return posix::send_datagram(handle_pid(window), d);
    }
    if (!is_window(window))
        return false;
    enqueue({window, message, wParam, lParam});
    return true;
}

MsgResult send_message(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    if (window != 0 && handle_pid(window) != own_pid()) {
        post_message(window, message, wParam, lParam);
        return 0;
    }
    if (handle_serial(window) == 0)
        window = main_window();
    return call_proc(window, message, wParam, lParam);
}

bool set_timer(WindowHandle window, std::uintptr_t id, std::uint32_t ms) {
    Window* w = find_local(window);
    if (!w)
        return false;
    int fd;
    auto it = w->timers.find(id);
    if (it != w->timers.end()) {
        fd = it->second;
    } else {
        fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd < 0)
            return false;
        w->timers[id] = fd;
        posix::add_source(fd, [window, id, fd] {
            std::uint64_t expirations = 0;
            if (read(fd, &expirations, sizeof expirations) <= 0)
                return;
            // Like the system's timers: one message however many periods
            // passed.
            call_proc(window, MSG_TIMER, id, 0);
        });
    }
    // A period of 0 would disarm the timer; the system runs it at once.
    const long period = ms == 0 ? 1 : static_cast<long>(ms);
    itimerspec params{};
    params.it_interval.tv_sec = period / 1000;
    params.it_interval.tv_nsec = (period % 1000) * 1000000L;
    params.it_value = params.it_interval;
    return timerfd_settime(fd, 0, &params, nullptr) == 0;
}

bool kill_timer(WindowHandle window, std::uintptr_t id) {
    Window* w = find_local(window);
    if (!w)
        return false;
    auto it = w->timers.find(id);
    if (it == w->timers.end())
        return false;
    close_timer(it->second);
    w->timers.erase(it);
    return true;
}

std::uint32_t register_window_message(const std::string& name) {
    if (name.empty())
        return 0;
    // Every process derives the same number from the name (FNV-1a over the
    // upper-cased name, folded into 0xC000..0xFFFF), which is what makes
    // registered messages usable between processes without a broker.
    std::uint32_t h = 2166136261u;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'a' && u <= 'z')
            u = static_cast<unsigned char>(u - 'a' + 'A');
        h = (h ^ u) * 16777619u;
    }
    return 0xC000u + (h % 0x4000u);
}

} // namespace plat
