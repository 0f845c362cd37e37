// The POSIX message loop: services that deliver messages (timers, the
// inter-process socket, the terminal) register a descriptor with the loop;
// pumping polls them without waiting and runs the handlers of the ready ones.
#include "platform/messages.h"

#include "posix/loop.h"

#include <poll.h>

#include <vector>

namespace plat {
namespace posix {

namespace {
struct Source {
    int fd;
    std::function<void()> handler;
};
std::vector<Source>& sources() {
    static thread_local std::vector<Source> list;
    return list;
}
} // namespace

void add_source(int fd, std::function<void()> handler) {
    remove_source(fd);
    sources().push_back({fd, std::move(handler)});
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
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
            snapshot[i].handler();
            any = true;
        }
    }
    return any;
}

} // namespace posix

void pump_messages() {
    // Bounded so that a source that stays ready cannot hold the caller.
    for (int round = 0; round < 1000 && posix::dispatch_ready(0); ++round) {
    }
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
