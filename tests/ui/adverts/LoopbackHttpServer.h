// A tiny HTTP server on 127.0.0.1 for the advert tests, started and stopped
// by the test itself. It answers one connection at a time with what the test
// chose: a reply, silence (a stalled server) or an endless body.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

class CLoopbackHttpServer {
public:
    enum class EMode { Reply, Stall, Endless };

    CLoopbackHttpServer() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) ||
            ::listen(m_listen, 8) ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) ||
            ::pipe(m_wake))
            std::abort();
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~CLoopbackHttpServer() {
        m_stop = true;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], "x", 1);
        m_thread.join();
        ::close(m_listen);
        ::close(m_wake[0]);
        ::close(m_wake[1]);
    }

    void Reply(std::string body, int status = 200) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mode = EMode::Reply;
        m_body = std::move(body);
        m_status = status;
    }
    void Stall() { SetMode(EMode::Stall); }
    void Endless() { SetMode(EMode::Endless); }

    std::string Url(const std::string& path = "/advert/sonvara/adverts.ini") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int Requests() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    std::string LastRequest() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastRequest;
    }
    // Waits until at least count requests have arrived.
    bool WaitForRequests(int count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_arrived.wait_for(lock, timeout, [&] { return m_requests >= count; });
    }

private:
    void SetMode(EMode mode) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mode = mode;
    }

    // Waits for fd to be ready for events; false when the server stops.
    bool Wait(int fd, short events) {
        pollfd fds[2] = {{fd, events, 0}, {m_wake[0], POLLIN, 0}};
        while (::poll(fds, 2, -1) < 0)
            if (errno != EINTR) return false;
        return !m_stop && !(fds[1].revents & POLLIN);
    }

    void Run() {
        while (Wait(m_listen, POLLIN)) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            Serve(client);
            ::close(client);
        }
    }

    void Serve(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (!Wait(client, POLLIN)) return;
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        EMode mode;
        std::string reply;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_requests;
            m_lastRequest = request;
            mode = m_mode;
            if (mode == EMode::Reply)
                reply = "HTTP/1.1 " + std::to_string(m_status) +
                        " X\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(m_body.size()) + "\r\n\r\n" + m_body;
        }
        m_arrived.notify_all();
        if (mode == EMode::Stall) {
            // Nothing is ever sent; the client gives up or the server stops.
            while (Wait(client, POLLIN) && ::recv(client, buffer, sizeof buffer, 0) > 0) {
            }
            return;
        }
        if (mode == EMode::Endless) {
            reply = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
            Send(client, reply);
            const std::string chunk(8192, 'x');
            while (Send(client, chunk)) {
            }
            return;
        }
        Send(client, reply);
    }

    bool Send(int client, const std::string& data) {
        std::size_t sent = 0;
        while (sent < data.size()) {
            if (!Wait(client, POLLOUT)) return false;
            const ssize_t n = ::send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    EMode m_mode = EMode::Reply;
    std::string m_body;
    int m_status = 200;
    int m_requests = 0;
    std::string m_lastRequest;
    std::thread m_thread;
};

} // namespace testsupport
