// The message bus's history: every request to deliver a message, with its
// time, both names, the text and the outcome, kept for the whole run and
// written as a plain-text log when the program closes.
//
// Thread safe: requests may come from any thread; one mutex serialises
// appends and result stores.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace modules {

struct _MESSAGE_QUERY_ITEM_ {
    std::int64_t Time = 0; // seconds since the epoch
    std::string Sender;
    std::string Recipient;
    std::string Message;
    std::int32_t Result = 0;
};

class CMessageHistory {
public:
    // Appends a request and returns its index.
    std::size_t Append(_MESSAGE_QUERY_ITEM_ item);
    void SetResult(std::size_t index, std::int32_t result);
    std::vector<_MESSAGE_QUERY_ITEM_> Snapshot() const;

    // The log text: per request "Time: HH:MM:SS" (local time), "Recipient: ",
    // "Sender: ", "Message: ", "Result: MESSAGE_..." (no line for an unknown
    // code) and an empty line; '\n' line ends (the platform's text form).
    static std::string FormatLog(const std::vector<_MESSAGE_QUERY_ITEM_>& items);
    // Replaces the file at path with the log (atomically); false when it
    // could not be written, which the caller ignores.
    bool WriteLog(const std::string& path) const;
    // sonvara.log in the writable settings folder: the executable has no
    // extension here to replace by ".log".
    static std::string DefaultLogPath();

private:
    mutable std::mutex m_lock;
    std::vector<_MESSAGE_QUERY_ITEM_> m_items;
};

} // namespace modules
