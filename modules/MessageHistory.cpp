#include "modules/MessageHistory.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <utility>

namespace modules {

std::size_t CMessageHistory::Append(_MESSAGE_QUERY_ITEM_ item) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_items.push_back(std::move(item));
    return m_items.size() - 1;
}

void CMessageHistory::SetResult(std::size_t index, std::int32_t result) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (index < m_items.size()) m_items[index].Result = result;
}

std::vector<_MESSAGE_QUERY_ITEM_> CMessageHistory::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_items;
}

std::string CMessageHistory::FormatLog(const std::vector<_MESSAGE_QUERY_ITEM_>& items) {
    static const char* const kResults[] = {"MESSAGE_OK", "MESSAGE_RECIPIER_NOT_FOUND",
                                           "MESSAGE_SENDER_NOT_FOUND", "MESSAGE_RECIPIER_ERROR",
                                           "MESSAGE_INTERNAL_ERROR"};
    std::string text;
    for (const auto& item : items) {
        const std::time_t t = static_cast<std::time_t>(item.Time);
        std::tm local{};
        localtime_r(&t, &local);
        char clock[16];
        std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
        text += "Time: ";
        text += clock;
        text += "\nRecipient: " + item.Recipient + "\nSender: " + item.Sender +
                "\nMessage: " + item.Message + "\n";
        if (item.Result >= 0 && item.Result <= 4)
            text += std::string("Result: ") + kResults[item.Result] + "\n";
        text += "\n";
    }
    return text;
}

bool CMessageHistory::WriteLog(const std::string& path) const {
    return platform::WriteFileAtomically(path, FormatLog(Snapshot()));
}

std::string CMessageHistory::DefaultLogPath() {
    return platform::JoinPath(platform::SettingsDirectory(), "sonvara.log");
}

} // namespace modules
