#include "support/scripted_port.h"

#include <algorithm>
#include <utility>

#include "support/protocol.h"

namespace quarn7::testing {

Respond answer_every_frame(std::function<std::string(int item)> data) {
    return [data = std::move(data)](const std::string& frame) {
        if (frame.size() < 6 || frame[3] != 1) return Answer{{1ms, "\x06"}};
        const int item = static_cast<unsigned char>(frame[4]);
        if (data) return Answer{{1ms, reply_with(data(item))}};
        int length = 2;
        for (const auto& row : kDocumentedItems) {
            if (row.item == item) length = row.data_bytes;
        }
        return Answer{{1ms, reply_with(std::string(static_cast<std::size_t>(length), '\0'))}};
    };
}

void ScriptedPort::arrive(Clock::duration from_now, std::string data, bool damaged) {
    pending_.push_back({clock_.now() + from_now, std::move(data), damaged});
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const auto& a, const auto& b) { return a.at < b.at; });
}

std::vector<std::string> ScriptedPort::frames() const {
    std::vector<std::string> out;
    for (const auto& w : writes_) out.push_back(w.bytes);
    return out;
}

void ScriptedPort::check_lost() {
    if (!lost_) return;
    lost_ = false;
    open_ = false;
    throw Error(ErrorNumber::DeviceLost);
}

void ScriptedPort::open_port() {
    if (refuse_open_) throw Error(*refuse_open_);
    open_ = true;
    ++opens_;
    opened_settings_ = settings();
    opened_handshaking_ = handshaking();
    opened_port_ = comm_port();
}

void ScriptedPort::close_port() {
    open_ = false;
    ++closes_;
}

void ScriptedPort::write_bytes(std::string_view data) {
    check_lost();
    if (failing_writes_ > 0) {
        --failing_writes_;
        throw Error(write_error_);
    }
    writes_.push_back({clock_.now(), std::string(data)});
    Answer reply;
    if (!answers_.empty()) {
        reply = std::move(answers_.front());
        answers_.pop_front();
    } else if (respond_) {
        reply = respond_(std::string(data));
    }
    for (auto& chunk : reply) arrive(chunk.after, std::move(chunk.bytes), chunk.damaged);
}

void ScriptedPort::deliver_due() {
    auto due = std::find_if(pending_.begin(), pending_.end(),
                            [&](const auto& p) { return p.at > clock_.now(); });
    for (auto it = pending_.begin(); it != due; ++it) {
        if (it->damaged) note_line_error(it->bytes.size());
        if (!it->damaged) buffer_ += it->bytes;
    }
    pending_.erase(pending_.begin(), due);
}

int ScriptedPort::bytes_waiting() {
    check_lost();
    deliver_due();
    return static_cast<int>(buffer_.size());
}

std::string ScriptedPort::read_waiting() {
    check_lost();
    deliver_due();
    return std::exchange(buffer_, {});
}

bool ScriptedPort::wait_readable(Clock::duration timeout) {
    check_lost();
    const auto deadline = clock_.now() + timeout;
    deliver_due();
    // Damaged bytes arrive but leave nothing to read.
    while (buffer_.empty() && !pending_.empty() && pending_.front().at <= deadline) {
        clock_.sleep_until(pending_.front().at);
        deliver_due();
    }
    if (!buffer_.empty()) return true;
    clock_.sleep_until(deadline);
    return false;
}

}  // namespace quarn7::testing
