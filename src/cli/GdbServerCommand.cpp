// travik-cli gdbserver: a GDB remote stub on a TCP port, one client at a time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "gdb/GdbStub.h"

namespace {

using Clock = std::chrono::steady_clock;

// A second client gets this long to send its first packet before it is refused anyway.
constexpr auto kRefuseWait = std::chrono::seconds(2);
// A client that takes no bytes for this long counts as gone.
constexpr int kSendTimeoutSeconds = 10;
constexpr int kIdlePollMs = 250;
constexpr size_t kMaxWaitingRefusals = 8;

volatile std::sig_atomic_t gStopRequested = 0;

void OnStopSignal(int) {
    gStopRequested = 1;
}

// The session's slices wait here until the socket loop has looked at its sockets.
class SocketLoopScheduler final : public RunScheduler {
  public:
    void Post(std::function<void()> next) override { next_ = std::move(next); }
    void Cancel() override { next_ = nullptr; }
    bool Pending() const { return static_cast<bool>(next_); }
    void RunOne() {
        std::function<void()> call = std::move(next_);
        next_ = nullptr;
        if (call) call();
    }

  private:
    std::function<void()> next_;
};

std::string PeerText(const sockaddr_in& peer) {
    char address[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    std::string text = address;
    return text.append(":").append(std::to_string(ntohs(peer.sin_port)));
}

void PrintLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// A client that came while another is attached: it is told so at its first packet.
struct RefusedClient {
    int fd;
    std::string peer;
    GdbPacketReader reader;
    Clock::time_point since;
};

void Refuse(RefusedClient& client) {
    std::string reply = "+";
    SendAll(client.fd, reply.append(FramePacket("E.another debugger is attached")));
    close(client.fd);
    std::string line = "GDB: refused ";
    PrintLine(line.append(client.peer).append(": another debugger is attached"));
}

struct Options {
    std::string path;
    uint32_t start = 0;
    uint16_t port = 1234;
    std::string listen = "127.0.0.1";
    bool once = false;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--port" && hasValue) {
            const auto port = ParseDecimal(args[++i]);
            if (!port || *port > 65535) return std::nullopt;
            options.port = static_cast<uint16_t>(*port);
        } else if (a == "--start" && hasValue) {
            const auto start = ParseHex(args[++i]);
            if (!start) return std::nullopt;
            options.start = *start;
        } else if (a == "--listen" && hasValue) {
            options.listen = args[++i];
        } else if (a == "--once") {
            options.once = true;
        } else if (options.path.empty() && !a.empty() && a[0] != '-') {
            options.path = a;
        } else {
            return std::nullopt;
        }
    }
    if (options.path.empty()) return std::nullopt;
    return options;
}

int OpenListener(const Options& options) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    if (inet_pton(AF_INET, options.listen.c_str(), &address.sin_addr) != 1) {
        std::fprintf(stderr, "--listen %s: not an IPv4 address\n", options.listen.c_str());
        return -2;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 4) != 0) {
        std::fprintf(stderr, "Cannot listen on %s:%u: %s\n", options.listen.c_str(), options.port,
                     std::strerror(errno));
        if (fd >= 0) close(fd);
        return -1;
    }
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("GDB: listening on %s:%u\n", options.listen.c_str(), ntohs(address.sin_port));
    std::fflush(stdout);
    return fd;
}

// The attached client: its socket and the stub that speaks with it.
class Connection {
  public:
    Connection(int fd, CTravikDoc& doc, uint32_t start) : fd_(fd) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const timeval timeout{kSendTimeoutSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        stub_ = std::make_unique<GdbStub>(doc, start, [this](std::string_view bytes) {
            if (!broken_ && !SendAll(fd_, bytes)) broken_ = true;
        });
        stub_->onStatus = PrintLine;
    }
    ~Connection() {
        stub_.reset();
        close(fd_);
    }
    int Fd() const { return fd_; }
    // Reads what came; false when the connection is gone.
    bool Read() {
        char buffer[65536];
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) return true;
        if (got <= 0)
            broken_ = true;
        else
            stub_->Receive(std::string_view(buffer, static_cast<size_t>(got)));
        return Open();
    }
    // After a read or a slice: whether the client is still with us.
    bool Open() {
        if (stub_->Finished()) return false;
        if (broken_) stub_->ConnectionLost();
        return !broken_;
    }

  private:
    int fd_;
    bool broken_ = false;
    std::unique_ptr<GdbStub> stub_;
};

}  // namespace

int RunGdbServerCommand(const std::vector<std::string>& args) {
    const std::optional<Options> options = ParseOptions(args);
    if (!options) return UsageError("gdbserver");
    CliFrame frame;
    auto doc = OpenForCli(frame, options->path);
    if (!doc) return kExitOpenFailed;
    if (options->start % 2 != 0 || options->start >= doc->ImageSize()) {
        std::fprintf(stderr, "--start %x: not an even image offset below %x\n", options->start,
                     doc->ImageSize());
        return UsageError("gdbserver");
    }
    const int listener = OpenListener(*options);
    if (listener == -2) return UsageError("gdbserver");
    if (listener < 0) return kExitOpenFailed;

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    SocketLoopScheduler scheduler;
    DebugSession& session = doc->Session();
    session.SetScheduler(&scheduler);
    std::unique_ptr<Connection> client;
    std::vector<RefusedClient> refused;
    bool served = false;
    while (!gStopRequested && !(options->once && served && !client)) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        if (client) fds.push_back({client->Fd(), POLLIN, 0});
        for (const RefusedClient& r : refused) fds.push_back({r.fd, POLLIN, 0});
        const int timeout = scheduler.Pending() ? 0 : kIdlePollMs;
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;

        size_t next = 1;
        if (client && (fds[next++].revents & (POLLIN | POLLHUP | POLLERR)) && !client->Read())
            client.reset();
        for (size_t i = 0; i < refused.size(); ++i, ++next) {
            RefusedClient& r = refused[i];
            bool answer = Clock::now() - r.since > kRefuseWait;
            if (fds[next].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[4096];
                const ssize_t got = recv(r.fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    answer = true;
                else
                    for (const auto& event : r.reader.Feed({buffer, static_cast<size_t>(got)}))
                        answer |= event.kind != GdbPacketReader::Kind::kAck &&
                                  event.kind != GdbPacketReader::Kind::kNak;
            }
            if (answer) {
                Refuse(r);
                r.fd = -1;
            }
        }
        std::erase_if(refused, [](const RefusedClient& r) { return r.fd < 0; });

        if (fds[0].revents & POLLIN) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            const int fd =
                accept4(listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
            if (fd >= 0 && client) {
                refused.push_back({fd, PeerText(peer), {}, Clock::now()});
                // A flood of them is told at once rather than kept open.
                if (refused.size() > kMaxWaitingRefusals) {
                    Refuse(refused.back());
                    refused.pop_back();
                }
            } else if (fd >= 0) {
                std::printf("GDB: connected from %s\n", PeerText(peer).c_str());
                std::fflush(stdout);
                client = std::make_unique<Connection>(fd, *doc, options->start);
                served = true;
            }
        }
        if (scheduler.Pending()) {
            scheduler.RunOne();
            if (client && !client->Open()) client.reset();
        }
    }
    client.reset();
    for (RefusedClient& r : refused) Refuse(r);
    session.SetScheduler(nullptr);
    close(listener);
    return kExitOk;
}
