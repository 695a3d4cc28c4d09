#include "account_protocol/receive_buffer.h"

#include <algorithm>

namespace pelex::account_protocol {

std::string ReceiveBuffer::take(std::size_t count) {
    count = std::min(count, size());
    std::string out = data_.substr(front_, count);
    front_ += count;
    consumed_ += count;
    if (front_ == data_.size()) {
        data_.clear();
        front_ = 0;
    } else if (front_ >= 4096 && front_ * 2 >= data_.size()) {
        data_.erase(0, front_);
        front_ = 0;
    }
    return out;
}

void ReceiveBuffer::clear() {
    consumed_ += size();
    data_.clear();
    front_ = 0;
}

}  // namespace pelex::account_protocol
