#include "protocol/write_codes.h"

#include <algorithm>

namespace quarn7 {

const WriteCode* find_write_code(int code) {
    const auto* row = std::ranges::find(kWriteCodes, code, &WriteCode::code);
    return row == std::end(kWriteCodes) ? nullptr : row;
}

}  // namespace quarn7
