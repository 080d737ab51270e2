#include "server/http/ConnectionTable.h"

TConnectionTable::TConnectionTable(TConnectionLimits limits) : m_limits(limits) {}

std::optional<std::uint64_t> TConnectionTable::Admit(const std::string& address, bool exempt,
                                                     std::vector<TCloser>& evicted) {
    std::lock_guard lock(m_mutex);
    auto held = [this, &address] {
        auto it = m_perAddress.find(address);
        return it == m_perAddress.end() ? std::size_t{0} : it->second;
    };
    if (!exempt) {
        if (held() >= m_limits.PerAddress && !EvictOldestIdle(&address, evicted))
            return std::nullopt;
        std::size_t shared = m_limits.Max > m_limits.Reserve ? m_limits.Max - m_limits.Reserve : 0;
        if (m_entries.size() >= shared && held() >= m_limits.ReserveShare &&
            !EvictOldestIdle(&address, evicted))
            return std::nullopt;
    }
    while (m_entries.size() >= m_limits.Max)
        if (!EvictOldestIdle(nullptr, evicted))
            return std::nullopt;
    std::uint64_t id = m_nextId++;
    m_entries.emplace(id, TEntry{address, 0, {}});
    ++m_perAddress[address];
    return id;
}

void TConnectionTable::SetIdle(std::uint64_t id, TCloser closer) {
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    if (it->second.IdleSeq != 0)
        m_idle.erase(it->second.IdleSeq);
    it->second.IdleSeq = m_nextIdleSeq++;
    it->second.Closer = std::move(closer);
    m_idle.emplace(it->second.IdleSeq, id);
}

void TConnectionTable::SetBusy(std::uint64_t id) {
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(id);
    if (it == m_entries.end() || it->second.IdleSeq == 0)
        return;
    m_idle.erase(it->second.IdleSeq);
    it->second.IdleSeq = 0;
    it->second.Closer = nullptr;
}

void TConnectionTable::Remove(std::uint64_t id) {
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(id);
    if (it != m_entries.end())
        Forget(it);
}

std::size_t TConnectionTable::Open() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

std::size_t TConnectionTable::OpenFrom(const std::string& address) const {
    std::lock_guard lock(m_mutex);
    auto it = m_perAddress.find(address);
    return it == m_perAddress.end() ? 0 : it->second;
}

std::uint64_t TConnectionTable::Evicted() const {
    std::lock_guard lock(m_mutex);
    return m_evicted;
}

bool TConnectionTable::EvictOldestIdle(const std::string* address, std::vector<TCloser>& evicted) {
    for (auto [seq, id] : m_idle) {
        auto it = m_entries.find(id);
        if (address && it->second.Address != *address)
            continue;
        evicted.push_back(std::move(it->second.Closer));
        ++m_evicted;
        Forget(it);
        return true;
    }
    return false;
}

void TConnectionTable::Forget(std::unordered_map<std::uint64_t, TEntry>::iterator it) {
    if (it->second.IdleSeq != 0)
        m_idle.erase(it->second.IdleSeq);
    auto count = m_perAddress.find(it->second.Address);
    if (count != m_perAddress.end() && --count->second == 0)
        m_perAddress.erase(count);
    m_entries.erase(it);
}
