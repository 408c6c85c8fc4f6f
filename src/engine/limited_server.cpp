#include "engine/limited_server.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <utility>

// The backlog the library listens with: connections the system accepts
// before the server takes them.
static_assert(CPPHTTPLIB_LISTEN_BACKLOG <= 16);

namespace engine {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The session the running handler asked for, on the connection's thread.
thread_local std::function<void(RawConnection&)>* requestedSession = nullptr;
// Set while a connection over the bound is handed to the server: it is
// closed at once.
thread_local bool refusingConnection = false;

// The library's queue hands each accepted connection to process_and_close_socket
// on a pool thread, and would keep any number of them waiting for one.
class ConnectionQueue final : public httplib::TaskQueue {
public:
    ConnectionQueue(std::size_t serving, std::size_t waiting)
        : pool_(std::max<std::size_t>(1, serving)), capacity_(std::max<std::size_t>(1, serving) + waiting) {}

    void enqueue(std::function<void()> connection) override {
        if (held_.fetch_add(1) >= capacity_) {
            --held_;
            // On the listening thread; the connection only closes.
            refusingConnection = true;
            connection();
            refusingConnection = false;
            return;
        }
        pool_.enqueue([this, connection = std::move(connection)] {
            connection();
            --held_;
        });
    }
    void shutdown() override { pool_.shutdown(); }

private:
    httplib::ThreadPool pool_;
    const std::size_t capacity_;
    // Connections waiting or served.
    std::atomic<std::size_t> held_{0};
};

void SetReceiveTimeout(socket_t socket, milliseconds timeout) {
    const DWORD value = static_cast<DWORD>(timeout.count());
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
}

// One connection, read through a buffer that outlives each request: reading
// costs one receive per packet rather than one per byte as the library's
// line reader asks, and nothing a client sent ahead is lost. Receives block,
// each for at most the idle time; there is no select() before them, which
// under Wine costs more than the receive itself.
class Connection final : public httplib::Stream, public RawConnection {
public:
    Connection(socket_t socket, const RequestLimits& limits) : socket_(socket), limits_(limits) {
        SetReceiveTimeout(socket, limits.idleTime);
    }

    // The first bytes of the next request, waiting at most the idle time.
    bool AwaitRequest() { return HasBuffered() || Fill() > 0; }
    // A request starts: its head's budgets and time count from now.
    void BeginRequest() {
        phase_ = Phase::Head;
        headBytes_ = 0;
        headLines_ = 0;
        lastFour_ = 0;
        deadline_ = Clock::now() + limits_.headTime;
    }
    bool OverLimit() const { return overLimit_; }
    bool HasBuffered() const { return offset_ < size_; }
    // A session receives for as long as its peer stays.
    void Upgraded() { SetReceiveTimeout(socket_, milliseconds(0)); }

    // httplib::Stream; the library asks these only of its own streams.
    bool is_readable() const override { return true; }
    bool is_writable() const override { return true; }
    ssize_t read(char* out, std::size_t size) override {
        if (overLimit_) return -1;
        if (!HasBuffered()) {
            if (Clock::now() >= deadline_) return Refuse();
            const int received = Fill();
            if (received <= 0) return received == 0 ? 0 : Refuse();
        }
        const std::size_t count = std::min(size, size_ - offset_);
        if (phase_ == Phase::Head && !CountHead(count)) return Refuse();
        std::copy_n(buffer_.data() + offset_, count, out);
        offset_ += count;
        return static_cast<ssize_t>(count);
    }
    ssize_t write(const char* data, std::size_t size) override {
        // The socket blocks for at most the server's write timeout.
        return send(socket_, data, static_cast<int>(std::min<std::size_t>(size, 1u << 30)), 0);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        httplib::detail::get_remote_ip_and_port(socket_, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        httplib::detail::get_local_ip_and_port(socket_, ip, port);
    }
    socket_t socket() const override { return socket_; }

    // RawConnection
    int Receive(char* out, std::size_t size) override {
        if (!HasBuffered()) {
            const int received = Fill();
            if (received <= 0) return received;
        }
        const std::size_t count = std::min(size, size_ - offset_);
        std::copy_n(buffer_.data() + offset_, count, out);
        offset_ += count;
        return static_cast<int>(count);
    }
    bool Send(std::string_view data) override {
        while (!data.empty()) {
            const ssize_t sent = write(data.data(), data.size());
            if (sent <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }
    void Close() override { shutdown(socket_, SD_BOTH); }

private:
    enum class Phase { Head, Body };

    int Fill() {
        const int received = recv(socket_, buffer_.data(), static_cast<int>(buffer_.size()), 0);
        offset_ = 0;
        size_ = received > 0 ? static_cast<std::size_t>(received) : 0;
        return received;
    }

    ssize_t Refuse() {
        overLimit_ = true;
        return -1;
    }

    // Counts the next `count` buffered bytes against the head's budgets; the
    // head ends with an empty line, and the body's time starts there.
    bool CountHead(std::size_t count) {
        for (std::size_t i = 0; i < count && phase_ == Phase::Head; ++i) {
            const char byte = buffer_[offset_ + i];
            lastFour_ = lastFour_ << 8 | static_cast<unsigned char>(byte);
            if (++headBytes_ > limits_.headBytes) return false;
            if (byte == '\n' && ++headLines_ > limits_.headLines) return false;
            if (lastFour_ == 0x0D0A0D0A) {
                phase_ = Phase::Body;
                deadline_ = Clock::now() + limits_.bodyTime;
            }
        }
        return true;
    }

    const socket_t socket_;
    const RequestLimits& limits_;
    std::array<char, 16 * 1024> buffer_{};
    std::size_t offset_ = 0;
    std::size_t size_ = 0;
    Phase phase_ = Phase::Head;
    std::size_t headBytes_ = 0;
    std::size_t headLines_ = 0;
    std::uint32_t lastFour_ = 0;
    Clock::time_point deadline_{};
    bool overLimit_ = false;
};

}  // namespace

LimitedServer::LimitedServer(const RequestLimits& limits) : limits_(limits) {
    new_task_queue = [this] { return new ConnectionQueue(limits_.servingConnections, limits_.waitingConnections); };
    set_payload_max_length(limits_.bodyBytes);
}

void SwitchProtocols(std::function<void(RawConnection&)> session) {
    if (requestedSession) *requestedSession = std::move(session);
}

void LimitedServer::StopConnections() {
    const std::lock_guard guard(lock_);
    stopping_ = true;
    for (const socket_t socket : idle_) shutdown(socket, SD_BOTH);
}

bool LimitedServer::MarkIdle(socket_t socket, bool idle) {
    const std::lock_guard guard(lock_);
    if (idle) idle_.insert(socket);
    else idle_.erase(socket);
    return !stopping_;
}

bool LimitedServer::process_and_close_socket(socket_t socket) {
    if (refusingConnection) {
        closesocket(socket);
        return false;
    }
    Connection connection(socket, limits_);
    bool served = false;
    for (;;) {
        // The next request, for a while; a stopping server ends the wait.
        if (!MarkIdle(socket, true)) break;
        const bool arrived = connection.AwaitRequest();
        if (!MarkIdle(socket, false) || !arrived) break;
        connection.BeginRequest();
        std::function<void(RawConnection&)> session;
        requestedSession = &session;
        bool closed = false;
        served = process_request(connection, false, closed, nullptr);
        requestedSession = nullptr;
        if (served && session) {
            connection.Upgraded();
            session(connection);
            break;
        }
        if (!served || closed || connection.OverLimit()) break;
    }
    MarkIdle(socket, false);
    shutdown(socket, SD_BOTH);
    closesocket(socket);
    return served;
}

}  // namespace engine
