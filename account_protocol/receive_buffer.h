#pragma once
// The received, unread bytes of a socket: appended at the back, taken from
// the front. Taking is amortised O(taken bytes): the front moves by an
// offset and the storage is compacted only when the dead part is large.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelex::account_protocol {

class ReceiveBuffer {
public:
    void append(std::string_view bytes) { data_.append(bytes); }

    /// The unread bytes; valid until the next append/take/clear.
    std::string_view view() const { return std::string_view(data_).substr(front_); }

    std::size_t size() const { return data_.size() - front_; }

    /// Removes and returns at most `count` bytes from the front.
    std::string take(std::size_t count);

    /// Drops everything unread.
    void clear();

    /// Bytes taken or dropped since construction.
    std::uint64_t consumed() const { return consumed_; }

private:
    std::string data_;
    std::size_t front_ = 0;
    std::uint64_t consumed_ = 0;
};

}  // namespace pelex::account_protocol
