#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// Texts carried by X1Format values. A text is stored once and never moved or freed, so an index
// handed out stays valid for the life of the process and reading needs no lock: the quote path
// reads names and codes far more often than a host adds them.
class CTextPool {
public:
    static CTextPool& Instance();

    // The index of the text, adding it when it is new. Index 0 is the empty text.
    std::uint32_t Intern(std::string_view text);
    // The text behind an index; an index never handed out reads as the empty text.
    const std::string& Get(std::uint32_t index) const;
    std::uint32_t Size() const { return m_count.load(std::memory_order_acquire); }

private:
    CTextPool();

    // Slot k holds kFirstChunk << k texts, so 27 slots cover every 32-bit index and a slot, once
    // allocated, never moves.
    static constexpr unsigned kFirstChunkBits = 6;
    static constexpr std::uint32_t kFirstChunk = 1u << kFirstChunkBits;
    static constexpr unsigned kSlots = 32 - kFirstChunkBits + 1;

    static void Locate(std::uint32_t index, unsigned& slot, std::uint64_t& offset);

    std::array<std::atomic<std::string*>, kSlots> m_slots{};
    std::atomic<std::uint32_t> m_count{0};
    std::mutex m_writeMutex;
    std::unordered_map<std::string_view, std::uint32_t> m_indexByText;
};
