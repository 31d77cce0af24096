#pragma once

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace quil {

// A map from alignment offsets (frames, any int64 but the smallest) to
// values, with open addressing: a session touches tens of thousands of
// offsets per segment, which a node-based map spends most of its time
// allocating. Values are default-constructed on first access; nothing is
// ever erased.
template <typename Value>
class OffsetMap {
  public:
    OffsetMap() { Rehash(1024); }

    Value& operator[](int64_t key) {
        if (2 * (size_ + 1) > keys_.size())
            Rehash(2 * keys_.size());
        size_t slot = Find(key);
        if (keys_[slot] == kEmpty) {
            keys_[slot] = key;
            ++size_;
        }
        return values_[slot];
    }

    size_t size() const { return size_; }

  private:
    static constexpr int64_t kEmpty = std::numeric_limits<int64_t>::min();

    // The key's slot, or the empty slot where it belongs.
    size_t Find(int64_t key) const {
        const size_t mask = keys_.size() - 1;
        size_t slot =
            static_cast<size_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 20) & mask;
        while (keys_[slot] != kEmpty && keys_[slot] != key)
            slot = (slot + 1) & mask;
        return slot;
    }

    void Rehash(size_t capacity) {
        std::vector<int64_t> keys(capacity, kEmpty);
        std::vector<Value> values(capacity);
        keys.swap(keys_);
        values.swap(values_);
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == kEmpty)
                continue;
            const size_t slot = Find(keys[i]);
            keys_[slot] = keys[i];
            values_[slot] = std::move(values[i]);
        }
    }

    std::vector<int64_t> keys_;
    std::vector<Value> values_;
    size_t size_ = 0;
};

}  // namespace quil
